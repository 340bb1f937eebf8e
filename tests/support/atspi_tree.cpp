// Prints what a screen reader meets in a running program: its accessibility tree as served over
// AT-SPI, one object per line, "<depth spaces><role>|<name>|<showing or hidden>".
//   atspi-tree PID [SECONDS]         waits up to SECONDS (default 20) for the program to appear
//   atspi-tree --press NAME PID      activates the showing button named NAME, as a screen reader does
//   atspi-tree --describe NAME PID   prints the description of the showing control named NAME
//   atspi-tree --where NAME PID      prints "X Y", the screen position of that control's centre
// Web content is not walked: its controls are the page's, not the program's.
#include <atspi/atspi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string text(gchar* value) {
  std::string out = value ? value : "";
  g_free(value);
  return out;
}

bool isShowing(AtspiAccessible* object) {
  AtspiStateSet* states = atspi_accessible_get_state_set(object);
  const bool showing = states && atspi_state_set_contains(states, ATSPI_STATE_SHOWING);
  if (states) g_object_unref(states);
  return showing;
}

// Calls `visit` with each child in order until it returns true; each child is released after.
template <typename Visit>
void forEachChild(AtspiAccessible* object, Visit visit) {
  GError* error = nullptr;
  const int count = atspi_accessible_get_child_count(object, &error);
  g_clear_error(&error);
  for (int i = 0; i < count; ++i) {
    AtspiAccessible* child = atspi_accessible_get_child_at_index(object, i, &error);
    g_clear_error(&error);
    if (!child) continue;
    const bool done = visit(child);
    g_object_unref(child);
    if (done) return;
  }
}

void walk(AtspiAccessible* object, int depth) {
  GError* error = nullptr;
  const std::string role = text(atspi_accessible_get_role_name(object, &error));
  g_clear_error(&error);
  std::string name = text(atspi_accessible_get_name(object, &error));
  g_clear_error(&error);
  for (auto& c : name)
    if (c == '\n' || c == '|') c = ' ';
  std::printf("%*s%s|%s|%s\n", depth, "", role.c_str(), name.c_str(), isShowing(object) ? "showing" : "hidden");
  if (role == "document web" || role == "embedded") return;
  forEachChild(object, [depth](AtspiAccessible* child) {
    walk(child, depth + 1);
    return false;
  });
}

// The first showing object named `name` that offers an action, depth first.
AtspiAccessible* findShowing(AtspiAccessible* object, const std::string& name) {
  GError* error = nullptr;
  if (text(atspi_accessible_get_name(object, &error)) == name && isShowing(object)) {
    if (AtspiAction* action = atspi_accessible_get_action_iface(object)) {
      g_object_unref(action);
      g_clear_error(&error);
      return ATSPI_ACCESSIBLE(g_object_ref(object));
    }
  }
  g_clear_error(&error);
  AtspiAccessible* found = nullptr;
  forEachChild(object, [&](AtspiAccessible* child) {
    found = findShowing(child, name);
    return found != nullptr;
  });
  return found;
}

AtspiAccessible* findApplication(int pid) {
  AtspiAccessible* desktop = atspi_get_desktop(0);
  GError* error = nullptr;
  const int count = atspi_accessible_get_child_count(desktop, &error);
  g_clear_error(&error);
  AtspiAccessible* found = nullptr;
  for (int i = 0; i < count && !found; ++i) {
    AtspiAccessible* app = atspi_accessible_get_child_at_index(desktop, i, &error);
    g_clear_error(&error);
    if (!app) continue;
    if (static_cast<int>(atspi_accessible_get_process_id(app, &error)) == pid) {
      found = app;
    } else {
      g_object_unref(app);
    }
    g_clear_error(&error);
  }
  g_object_unref(desktop);
  return found;
}

}  // namespace

int main(int argc, char** argv) {
  std::string press;
  bool describe = false, where = false;
  if (argc > 2 && (std::string(argv[1]) == "--press" || std::string(argv[1]) == "--describe" ||
                   std::string(argv[1]) == "--where")) {
    describe = std::string(argv[1]) == "--describe";
    where = std::string(argv[1]) == "--where";
    press = argv[2];
    argv += 2;
    argc -= 2;
  }
  if (argc < 2) {
    std::fprintf(stderr, "usage: atspi-tree [--press NAME | --describe NAME | --where NAME] PID [SECONDS]\n");
    return 2;
  }
  const int pid = std::atoi(argv[1]);
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 20;
  if (atspi_init() < 0) {
    std::fprintf(stderr, "atspi-tree: no accessibility bus\n");
    return 1;
  }
  const gint64 deadline = g_get_monotonic_time() + gint64(seconds) * G_USEC_PER_SEC;
  AtspiAccessible* app = findApplication(pid);
  while (!app && g_get_monotonic_time() < deadline) {
    g_usleep(100 * 1000);
    app = findApplication(pid);
  }
  if (!app) {
    std::fprintf(stderr, "atspi-tree: process %d is not on the accessibility bus\n", pid);
    return 1;
  }
  int status = 0;
  if (press.empty()) {
    walk(app, 0);
  } else if (AtspiAccessible* target = findShowing(app, press); target && describe) {
    GError* error = nullptr;
    std::printf("%s\n", text(atspi_accessible_get_description(target, &error)).c_str());
    g_clear_error(&error);
    g_object_unref(target);
  } else if (target && where) {
    GError* error = nullptr;
    AtspiComponent* component = atspi_accessible_get_component_iface(target);
    AtspiRect* box = component ? atspi_component_get_extents(component, ATSPI_COORD_TYPE_SCREEN, &error) : nullptr;
    if (box && box->width > 0 && box->height > 0) {
      std::printf("%d %d\n", box->x + box->width / 2, box->y + box->height / 2);
    } else {
      std::fprintf(stderr, "atspi-tree: \"%s\" has no place on the screen\n", press.c_str());
      status = 1;
    }
    g_free(box);
    g_clear_error(&error);
    if (component) g_object_unref(component);
    g_object_unref(target);
  } else if (target) {
    AtspiAction* action = atspi_accessible_get_action_iface(target);
    GError* error = nullptr;
    if (!atspi_action_do_action(action, 0, &error)) {
      std::fprintf(stderr, "atspi-tree: cannot press \"%s\": %s\n", press.c_str(), error ? error->message : "");
      status = 1;
    }
    g_clear_error(&error);
    g_object_unref(action);
    g_object_unref(target);
  } else {
    std::fprintf(stderr, "atspi-tree: nothing showing is named \"%s\"\n", press.c_str());
    status = 1;
  }
  g_object_unref(app);
  return status;
}
