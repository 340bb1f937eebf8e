// Input-to-screen latency of the panel, measured from outside as a user sees it: key
// combinations are sent with XTest and the panel window's X events are timestamped.
//   bench_panel_latency show <presses>
//     Ctrl+Alt+Space with the panel hidden, until the panel window is mapped (MapNotify) and
//     has the keyboard focus (FocusIn); the same combination hides it again between presses.
//   bench_panel_latency switch <presses> <rrggbb> <rrggbb> [<rrggbb>...]
//     Ctrl+Alt+N with the panel shown, until the pixel sampled inside the page area turns
//     from the current site's colour into another site's colour. The panel window is watched
//     with XDamage and sampled after every damage report.
//   bench_panel_latency first <rrggbb>
//     Ctrl+Alt+Space once, with the panel never shown since Vesk started: until the panel window is
//     viewable, until its first drawing holds the site bar and toolbar (more than two colours in the
//     window), and until a pixel of the selected page's background colour is on screen.
// Prints one line per press and summary lines "<name>_ms median=… min=… max=…".
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <X11/keysym.h>
#include <poll.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

Display* dpy = nullptr;

double nowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

void sleepMs(int ms) {
  timespec ts{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
  nanosleep(&ts, nullptr);
}

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void summary(const char* name, const std::vector<double>& values) {
  if (values.empty()) {
    std::printf("%s_ms none\n", name);
    return;
  }
  std::printf("%s_ms median=%.2f min=%.2f max=%.2f presses=%zu\n", name, median(values),
              *std::min_element(values.begin(), values.end()), *std::max_element(values.begin(), values.end()),
              values.size());
}

// Presses and releases Ctrl+Alt+<key> through XTest.
void sendCombination(KeySym key) {
  const KeyCode control = XKeysymToKeycode(dpy, XK_Control_L);
  const KeyCode alt = XKeysymToKeycode(dpy, XK_Alt_L);
  const KeyCode code = XKeysymToKeycode(dpy, key);
  XTestFakeKeyEvent(dpy, control, True, CurrentTime);
  XTestFakeKeyEvent(dpy, alt, True, CurrentTime);
  XTestFakeKeyEvent(dpy, code, True, CurrentTime);
  XTestFakeKeyEvent(dpy, code, False, CurrentTime);
  XTestFakeKeyEvent(dpy, alt, False, CurrentTime);
  XTestFakeKeyEvent(dpy, control, False, CurrentTime);
  XFlush(dpy);
}

// Waits for the next event until `deadline` (ms on the monotonic clock).
bool nextEvent(XEvent* event, double deadline) {
  while (!XPending(dpy)) {
    const double left = deadline - nowMs();
    if (left <= 0) return false;
    pollfd fd{ConnectionNumber(dpy), POLLIN, 0};
    poll(&fd, 1, static_cast<int>(left) + 1);
  }
  XNextEvent(dpy, event);
  return true;
}

bool hasRole(Window window, const char* role) {
  Atom roleAtom = XInternAtom(dpy, "WM_WINDOW_ROLE", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  bool match = false;
  if (XGetWindowProperty(dpy, window, roleAtom, 0, 64, False, XA_STRING, &type, &format, &count, &after, &data) ==
          Success &&
      data) {
    match = std::strcmp(reinterpret_cast<char*>(data), role) == 0;
    XFree(data);
  }
  return match;
}

// The window with the role "vesk-panel" anywhere under `root` (window managers reparent it).
Window findPanel(Window window) {
  if (hasRole(window, "vesk-panel")) return window;
  Window root = 0, parent = 0, *children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(dpy, window, &root, &parent, &children, &count)) return 0;
  Window found = 0;
  for (unsigned int i = 0; i < count && !found; ++i) found = findPanel(children[i]);
  if (children) XFree(children);
  return found;
}

bool isViewable(Window window) {
  XWindowAttributes attributes{};
  return XGetWindowAttributes(dpy, window, &attributes) && attributes.map_state == IsViewable;
}

// Shows the panel with Ctrl+Alt+Space if needed and returns its window.
Window shownPanel() {
  Window panel = findPanel(DefaultRootWindow(dpy));
  if (panel && isViewable(panel)) return panel;
  sendCombination(XK_space);
  const double deadline = nowMs() + 30000;
  while (nowMs() < deadline) {
    panel = findPanel(DefaultRootWindow(dpy));
    if (panel && isViewable(panel)) return panel;
    sleepMs(20);
  }
  return 0;
}

// Waits until an event of `type` for `window` arrives; returns when it arrived.
std::optional<double> waitFor(Window window, int type, double deadline) {
  XEvent event;
  while (nextEvent(&event, deadline)) {
    const double at = nowMs();
    if (event.type == type && event.xany.window == window) {
      if (type == FocusIn && (event.xfocus.detail == NotifyInferior || event.xfocus.detail == NotifyPointer)) continue;
      return at;
    }
  }
  return std::nullopt;
}

int showBenchmark(int presses) {
  Window panel = shownPanel();
  if (!panel) {
    std::fprintf(stderr, "no panel window appeared\n");
    return 1;
  }
  XSelectInput(dpy, panel, StructureNotifyMask | FocusChangeMask);
  XSync(dpy, False);
  std::vector<double> mapped, focused;
  // Hide, then two warm-up rounds before the measured presses.
  for (int i = -2; i < presses; ++i) {
    sendCombination(XK_space);
    if (!waitFor(panel, UnmapNotify, nowMs() + 10000)) {
      std::fprintf(stderr, "the panel did not hide\n");
      return 1;
    }
    sleepMs(300);
    XSync(dpy, True);  // drop what came before this press
    const double start = nowMs();
    sendCombination(XK_space);
    std::optional<double> map, focus;
    XEvent event;
    const double deadline = start + 10000;
    while ((!map || !focus) && nextEvent(&event, deadline)) {
      const double at = nowMs();
      if (event.xany.window != panel) continue;
      if (event.type == MapNotify && !map) map = at;
      if (event.type == FocusIn && !focus && event.xfocus.detail != NotifyInferior &&
          event.xfocus.detail != NotifyPointer)
        focus = at;
    }
    if (!map || !focus) {
      std::fprintf(stderr, "press %d: the panel was not %s\n", i + 1, map ? "focused" : "mapped");
      return 1;
    }
    if (i < 0) continue;
    mapped.push_back(*map - start);
    focused.push_back(*focus - start);
    std::printf("press %d: mapped %.2f ms, focused %.2f ms\n", i + 1, *map - start, *focus - start);
    std::fflush(stdout);
  }
  summary("show_mapped", mapped);
  summary("show_focused", focused);
  return 0;
}

std::optional<unsigned long> pixelAt(Window window, int x, int y) {
  XImage* image = XGetImage(dpy, window, x, y, 1, 1, AllPlanes, ZPixmap);
  if (!image) return std::nullopt;
  unsigned long pixel = XGetPixel(image, 0, 0) & 0xffffff;
  XDestroyImage(image);
  return pixel;
}

int switchBenchmark(int presses, const std::vector<unsigned long>& colours) {
  int eventBase = 0, errorBase = 0;
  if (!XDamageQueryExtension(dpy, &eventBase, &errorBase)) {
    std::fprintf(stderr, "the X server has no DAMAGE extension\n");
    return 1;
  }
  Window panel = shownPanel();
  if (!panel) {
    std::fprintf(stderr, "no panel window appeared\n");
    return 1;
  }
  sleepMs(500);
  // Find the page area: the pixels in one of the sites' colours. The sample point lies in the
  // page's left margin, which shows only the page background.
  XWindowAttributes attributes{};
  XGetWindowAttributes(dpy, panel, &attributes);
  XImage* image = XGetImage(dpy, panel, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
  if (!image) {
    std::fprintf(stderr, "cannot read the panel's pixels\n");
    return 1;
  }
  int minX = attributes.width, minY = attributes.height, maxY = -1;
  for (int y = 0; y < attributes.height; ++y) {
    for (int x = 0; x < attributes.width; ++x) {
      const unsigned long pixel = XGetPixel(image, x, y) & 0xffffff;
      if (std::find(colours.begin(), colours.end(), pixel) != colours.end()) {
        minX = std::min(minX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
      }
    }
  }
  XDestroyImage(image);
  if (maxY < 0) {
    std::fprintf(stderr, "no site colour on the panel\n");
    return 1;
  }
  const int sampleX = minX + 6, sampleY = (minY + maxY) / 2;
  std::printf("page area from (%d,%d) to y=%d; sampling (%d,%d)\n", minX, minY, maxY, sampleX, sampleY);

  Damage damage = XDamageCreate(dpy, panel, XDamageReportNonEmpty);
  XSync(dpy, False);
  std::vector<double> shown;
  int timeouts = 0;
  for (int i = -1; i < presses; ++i) {
    sleepMs(300);
    XSync(dpy, False);
    XDamageSubtract(dpy, damage, None, None);
    XEvent drop;
    while (XPending(dpy)) XNextEvent(dpy, &drop);
    const auto before = pixelAt(panel, sampleX, sampleY);
    const double start = nowMs();
    sendCombination(XK_n);
    std::optional<double> changed;
    const double deadline = start + 5000;
    XEvent event;
    while (!changed && nextEvent(&event, deadline)) {
      if (event.type != eventBase + XDamageNotify) continue;
      XDamageSubtract(dpy, damage, None, None);
      const auto pixel = pixelAt(panel, sampleX, sampleY);
      if (pixel && pixel != before && std::find(colours.begin(), colours.end(), *pixel) != colours.end())
        changed = nowMs();
    }
    if (!changed) {
      // The damage reports may have come before the switch; read once more.
      const auto pixel = pixelAt(panel, sampleX, sampleY);
      std::fprintf(stderr, "press %d: no switch seen within 5 s (pixel %06lx, before %06lx)\n", i + 1,
                   pixel.value_or(0), before.value_or(0));
      ++timeouts;
      continue;
    }
    if (i < 0) continue;
    shown.push_back(*changed - start);
    std::printf("press %d: %06lx -> other site on screen after %.2f ms\n", i + 1, before.value_or(0), *changed - start);
    std::fflush(stdout);
  }
  XDamageDestroy(dpy, damage);
  summary("site_switch", shown);
  if (timeouts) std::printf("site_switch timeouts=%d\n", timeouts);
  return shown.empty() ? 1 : 0;
}

// The panel's pixels: whether it holds the page colour, and how many colours it shows (up to 3).
struct PanelLook {
  bool page = false;
  int colours = 0;
};

std::optional<PanelLook> look(Window window, unsigned long pageColour) {
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(dpy, window, &attributes)) return std::nullopt;
  XImage* image = XGetImage(dpy, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
  if (!image) return std::nullopt;
  PanelLook found;
  std::vector<unsigned long> seen;
  for (int y = 0; y < attributes.height && !(found.page && seen.size() > 2); y += 2) {
    for (int x = 0; x < attributes.width; x += 2) {
      const unsigned long pixel = XGetPixel(image, x, y) & 0xffffff;
      if (pixel == pageColour) found.page = true;
      if (seen.size() < 3 && std::find(seen.begin(), seen.end(), pixel) == seen.end()) seen.push_back(pixel);
    }
  }
  XDestroyImage(image);
  found.colours = static_cast<int>(seen.size());
  return found;
}

int firstShowBenchmark(unsigned long pageColour) {
  // Windows come and go while the tree is searched for the panel: a window gone between listing
  // and reading it is skipped rather than fatal.
  XSetErrorHandler(+[](Display*, XErrorEvent*) { return 0; });
  int eventBase = 0, errorBase = 0;
  if (!XDamageQueryExtension(dpy, &eventBase, &errorBase)) {
    std::fprintf(stderr, "the X server has no DAMAGE extension\n");
    return 1;
  }
  Window panel = findPanel(DefaultRootWindow(dpy));
  if (panel && isViewable(panel)) {
    std::fprintf(stderr, "the panel is shown already\n");
    return 1;
  }
  const double start = nowMs();
  sendCombination(XK_space);
  const double deadline = start + 30000;
  panel = 0;
  while (nowMs() < deadline) {
    panel = findPanel(DefaultRootWindow(dpy));
    if (panel && isViewable(panel)) break;
    panel = 0;
    sleepMs(2);
  }
  if (!panel) {
    std::fprintf(stderr, "no panel window appeared\n");
    return 1;
  }
  const double mapped = nowMs() - start;
  Damage damage = XDamageCreate(dpy, panel, XDamageReportNonEmpty);
  XSync(dpy, False);
  std::optional<double> chrome, page;
  // The first drawing may have come before the damage was watched: look once at once.
  auto check = [&] {
    const auto seen = look(panel, pageColour);
    if (!seen) return;
    const double at = nowMs() - start;
    if (!chrome && seen->colours > 2) chrome = at;
    if (!page && seen->page) page = at;
  };
  check();
  XEvent event;
  while ((!chrome || !page) && nextEvent(&event, deadline)) {
    if (event.type != eventBase + XDamageNotify) continue;
    XDamageSubtract(dpy, damage, None, None);
    check();
  }
  XDamageDestroy(dpy, damage);
  if (!chrome || !page) {
    std::fprintf(stderr, "the panel's %s did not appear within 30 s\n", chrome ? "page" : "site bar and toolbar");
    return 1;
  }
  std::printf("first_show mapped=%.2f chrome=%.2f page=%.2f\n", mapped, *chrome, *page);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const bool known = argc >= 3 && (std::strcmp(argv[1], "show") == 0 || std::strcmp(argv[1], "switch") == 0 ||
                                   std::strcmp(argv[1], "first") == 0);
  if (!known) {
    std::fprintf(stderr,
                 "usage: bench_panel_latency show <presses>\n"
                 "       bench_panel_latency first <rrggbb>\n"
                 "       bench_panel_latency switch <presses> <rrggbb> <rrggbb> [<rrggbb>...]\n");
    return 2;
  }
  dpy = XOpenDisplay(nullptr);
  if (!dpy) {
    std::fprintf(stderr, "cannot open the display\n");
    return 1;
  }
  int event = 0, error = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(dpy, &event, &error, &major, &minor)) {
    std::fprintf(stderr, "the X server has no XTEST extension\n");
    return 1;
  }
  const int presses = std::atoi(argv[2]);
  int status = 0;
  if (std::strcmp(argv[1], "first") == 0) {
    status = firstShowBenchmark(std::strtoul(argv[2], nullptr, 16));
  } else if (std::strcmp(argv[1], "show") == 0) {
    status = showBenchmark(presses);
  } else {
    std::vector<unsigned long> colours;
    for (int i = 3; i < argc; ++i) colours.push_back(std::strtoul(argv[i], nullptr, 16));
    status = switchBenchmark(presses, colours);
  }
  XCloseDisplay(dpy);
  return status;
}
