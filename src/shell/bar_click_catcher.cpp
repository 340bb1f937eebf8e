#include "shell/bar_click_catcher.h"

#include <glib-unix.h>
#include <glib.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "model/glib_handles.h"

namespace vesk {
namespace {

// The parts of the wlr layer-shell protocol (version 1) used here: a layer surface on the
// overlay layer, anchored to edges, of a given size, with an exclusive zone and no keyboard.
// Its interfaces are described here as the protocol defines them, so that libwayland can marshal
// the requests and read the events.
const wl_interface* noTypes[4] = {nullptr, nullptr, nullptr, nullptr};
extern const wl_interface layerSurfaceInterface;
const wl_interface* getLayerSurfaceTypes[] = {&layerSurfaceInterface, &wl_surface_interface, &wl_output_interface,
                                              nullptr, nullptr};
const wl_message layerShellRequests[] = {{"get_layer_surface", "no?ous", getLayerSurfaceTypes}};
const wl_interface layerShellInterface = {"zwlr_layer_shell_v1", 1, 1, layerShellRequests, 0, nullptr};
const wl_message layerSurfaceRequests[] = {
    {"set_size", "uu", noTypes},
    {"set_anchor", "u", noTypes},
    {"set_exclusive_zone", "i", noTypes},
    {"set_margin", "iiii", noTypes},
    {"set_keyboard_interactivity", "u", noTypes},
    {"get_popup", "o", noTypes},
    {"ack_configure", "u", noTypes},
    {"destroy", "", noTypes},
};
const wl_message layerSurfaceEvents[] = {{"configure", "uuu", noTypes}, {"closed", "", noTypes}};
const wl_interface layerSurfaceInterface = {"zwlr_layer_surface_v1", 1, 8, layerSurfaceRequests, 2, layerSurfaceEvents};

enum LayerSurfaceRequest : std::uint32_t {
  setSize = 0,
  setAnchor = 1,
  setExclusiveZone = 2,
  setKeyboardInteractivity = 4,
  ackConfigure = 6,
  destroyLayerSurface = 7,
};
constexpr std::uint32_t overlayLayer = 3;
constexpr std::uint32_t anchorTop = 1, anchorBottom = 2, anchorLeft = 4, anchorRight = 8;

struct LayerSurfaceListener {
  void (*configure)(void* data, wl_proxy* surface, std::uint32_t serial, std::uint32_t width, std::uint32_t height);
  void (*closed)(void* data, wl_proxy* surface);
};

}  // namespace

std::vector<BarStrip> barStrips(const ScreenRect& output, const ScreenRect& workArea) {
  std::vector<BarStrip> strips;
  const int top = workArea.y - output.y;
  const int bottom = (output.y + output.height) - (workArea.y + workArea.height);
  const int left = workArea.x - output.x;
  const int right = (output.x + output.width) - (workArea.x + workArea.width);
  // A work area that is not inside the output says nothing about its bars.
  if (top < 0 || bottom < 0 || left < 0 || right < 0 || workArea.width <= 0 || workArea.height <= 0) return strips;
  if (top > 0) strips.push_back({anchorTop | anchorLeft | anchorRight, top});
  if (bottom > 0) strips.push_back({anchorBottom | anchorLeft | anchorRight, bottom});
  if (left > 0) strips.push_back({anchorLeft | anchorTop | anchorBottom, left});
  if (right > 0) strips.push_back({anchorRight | anchorTop | anchorBottom, right});
  return strips;
}

struct BarClickCatcher::Connection {
  struct Strip {
    Connection* connection = nullptr;
    wl_surface* surface = nullptr;
    wl_proxy* layerSurface = nullptr;
    wl_buffer* buffer = nullptr;
  };

  BarClickCatcher* owner = nullptr;
  wl_display* display = nullptr;
  wl_registry* registry = nullptr;
  wl_compositor* compositor = nullptr;
  wl_shm* shm = nullptr;
  wl_proxy* layerShell = nullptr;
  wl_seat* seat = nullptr;
  wl_pointer* pointer = nullptr;
  wl_surface* pointerSurface = nullptr;  // ours under the pointer, if any
  std::vector<std::unique_ptr<Strip>> strips;
  // Removed as the connection goes: nothing is read from the display or told after that.
  SourceGuard watch;
  SourceGuard clickSource;

  ~Connection() {
    for (auto& strip : strips) destroyStrip(*strip);
    if (pointer) wl_pointer_destroy(pointer);
    if (seat) wl_seat_destroy(seat);
    if (layerShell) wl_proxy_destroy(layerShell);
    if (shm) wl_shm_destroy(shm);
    if (compositor) wl_compositor_destroy(compositor);
    if (registry) wl_registry_destroy(registry);
    if (display) {
      wl_display_flush(display);
      wl_display_disconnect(display);
    }
  }

  static void destroyStrip(Strip& strip) {
    if (strip.layerSurface)
      wl_proxy_marshal_flags(strip.layerSurface, destroyLayerSurface, nullptr, wl_proxy_get_version(strip.layerSurface),
                             WL_MARSHAL_FLAG_DESTROY);
    if (strip.surface) wl_surface_destroy(strip.surface);
    if (strip.buffer) wl_buffer_destroy(strip.buffer);
    strip = Strip{};
  }

  bool connect() {
    display = wl_display_connect(nullptr);
    if (!display) return false;
    registry = wl_display_get_registry(display);
    static const wl_registry_listener registryListener = {
        [](void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
          auto* self = static_cast<Connection*>(data);
          if (std::strcmp(interface, wl_compositor_interface.name) == 0 && !self->compositor)
            self->compositor =
                static_cast<wl_compositor*>(wl_registry_bind(registry, name, &wl_compositor_interface, 1));
          else if (std::strcmp(interface, wl_shm_interface.name) == 0 && !self->shm)
            self->shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
          else if (std::strcmp(interface, layerShellInterface.name) == 0 && !self->layerShell)
            self->layerShell = static_cast<wl_proxy*>(wl_registry_bind(registry, name, &layerShellInterface, 1));
          else if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self->seat)
            self->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
        },
        [](void*, wl_registry*, std::uint32_t) {},
    };
    wl_registry_add_listener(registry, &registryListener, this);
    if (wl_display_roundtrip(display) < 0 || !compositor || !shm || !layerShell || !seat) return false;
    static const wl_seat_listener seatListener = {
        [](void* data, wl_seat* seat, std::uint32_t capabilities) {
          auto* self = static_cast<Connection*>(data);
          if ((capabilities & WL_SEAT_CAPABILITY_POINTER) && !self->pointer) {
            self->pointer = wl_seat_get_pointer(seat);
            wl_pointer_add_listener(self->pointer, &pointerListener, self);
          }
        },
        [](void*, wl_seat*, const char*) {},
    };
    wl_seat_add_listener(seat, &seatListener, this);
    watch.adopt(g_unix_fd_add(wl_display_get_fd(display), static_cast<GIOCondition>(G_IO_IN | G_IO_ERR | G_IO_HUP),
                              &Connection::readable, this));
    return wl_display_roundtrip(display) >= 0;
  }

  // The owner may end this connection when told; never inside libwayland's dispatch.
  void clickedLater() {
    if (clickSource.pending()) return;
    clickSource.idle([this] {
      if (owner->clicked_) owner->clicked_();
    });
  }

  // Only version 1 of wl_seat is bound, so only these events of the pointer ever arrive.
  static inline const wl_pointer_listener pointerListener = [] {
    wl_pointer_listener listener{};
    listener.enter = [](void* data, wl_pointer*, std::uint32_t, wl_surface* surface, wl_fixed_t, wl_fixed_t) {
      static_cast<Connection*>(data)->pointerSurface = surface;
    };
    listener.leave = [](void* data, wl_pointer*, std::uint32_t, wl_surface*) {
      static_cast<Connection*>(data)->pointerSurface = nullptr;
    };
    listener.motion = [](void*, wl_pointer*, std::uint32_t, wl_fixed_t, wl_fixed_t) {};
    listener.button = [](void* data, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t state) {
      auto* self = static_cast<Connection*>(data);
      if (state == WL_POINTER_BUTTON_STATE_PRESSED && self->pointerSurface) self->clickedLater();
    };
    listener.axis = [](void*, wl_pointer*, std::uint32_t, std::uint32_t, wl_fixed_t) {};
    return listener;
  }();

  static gboolean readable(int, GIOCondition condition, gpointer data) {
    auto* self = static_cast<Connection*>(data);
    if ((condition & (G_IO_ERR | G_IO_HUP)) || wl_display_dispatch(self->display) < 0) {
      // The compositor went away: nothing more to catch.
      self->watch.finished();
      return G_SOURCE_REMOVE;
    }
    wl_display_flush(self->display);
    return G_SOURCE_CONTINUE;
  }

  void addStrip(const BarStrip& bar) {
    auto strip = std::make_unique<Strip>();
    strip->connection = this;
    strip->surface = wl_compositor_create_surface(compositor);
    strip->layerSurface =
        wl_proxy_marshal_flags(layerShell, 0, &layerSurfaceInterface, wl_proxy_get_version(layerShell), 0, nullptr,
                               strip->surface, nullptr, overlayLayer, "vesk-outside");
    const bool horizontal = (bar.anchor & anchorLeft) && (bar.anchor & anchorRight);
    const auto thickness = static_cast<std::uint32_t>(bar.thickness);
    auto send = [&](std::uint32_t opcode, auto... arguments) {
      wl_proxy_marshal_flags(strip->layerSurface, opcode, nullptr, wl_proxy_get_version(strip->layerSurface), 0,
                             arguments...);
    };
    send(setSize, horizontal ? 0u : thickness, horizontal ? thickness : 0u);
    send(setAnchor, bar.anchor);
    send(setExclusiveZone, -1);
    send(setKeyboardInteractivity, 0u);
    static const LayerSurfaceListener listener = {
        [](void* data, wl_proxy* layerSurface, std::uint32_t serial, std::uint32_t width, std::uint32_t height) {
          auto* strip = static_cast<Strip*>(data);
          wl_proxy_marshal_flags(layerSurface, ackConfigure, nullptr, wl_proxy_get_version(layerSurface), 0, serial);
          strip->connection->attachClearBuffer(*strip, static_cast<int>(width), static_cast<int>(height));
        },
        [](void* data, wl_proxy*) { destroyStrip(*static_cast<Strip*>(data)); },
    };
    wl_proxy_add_listener(strip->layerSurface,
                          reinterpret_cast<void (**)(void)>(const_cast<LayerSurfaceListener*>(&listener)), strip.get());
    wl_surface_commit(strip->surface);
    strips.push_back(std::move(strip));
  }

  // A fully transparent buffer of the configured size: the strip draws nothing, only takes clicks.
  void attachClearBuffer(Strip& strip, int width, int height) {
    if (width <= 0 || height <= 0 || width > 1 << 15 || height > 1 << 15 || !strip.surface) return;
    const std::size_t stride = static_cast<std::size_t>(width) * 4, size = stride * static_cast<std::size_t>(height);
    const int fd = memfd_create("vesk-bar-catcher", MFD_CLOEXEC);
    if (fd < 0) return;
    if (ftruncate(fd, static_cast<off_t>(size)) == 0) {
      wl_shm_pool* pool = wl_shm_create_pool(shm, fd, static_cast<std::int32_t>(size));
      if (strip.buffer) wl_buffer_destroy(strip.buffer);
      strip.buffer =
          wl_shm_pool_create_buffer(pool, 0, width, height, static_cast<std::int32_t>(stride), WL_SHM_FORMAT_ARGB8888);
      wl_shm_pool_destroy(pool);
      wl_surface_attach(strip.surface, strip.buffer, 0, 0);
      wl_surface_damage(strip.surface, 0, 0, width, height);
      wl_surface_commit(strip.surface);
    }
    close(fd);
  }
};

BarClickCatcher::BarClickCatcher(std::function<void()> clicked) : clicked_(std::move(clicked)) {}

BarClickCatcher::~BarClickCatcher() { uncover(); }

void BarClickCatcher::cover(const ScreenRect& output, const ScreenRect& workArea) {
  uncover();
  const auto strips = barStrips(output, workArea);
  if (strips.empty()) return;
  auto connection = std::make_unique<Connection>();
  connection->owner = this;
  if (!connection->connect()) return;
  for (const BarStrip& strip : strips) connection->addStrip(strip);
  wl_display_flush(connection->display);
  connection_ = std::move(connection);
}

void BarClickCatcher::uncover() { connection_.reset(); }

bool BarClickCatcher::covering() const { return connection_ && !connection_->strips.empty(); }

}  // namespace vesk
