// Desktop notifications: the one way Vesk shows one (a finished download, a missing tray, a
// site's own notification).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "model/glib_handles.h"

namespace vesk {

// Shows a desktop notification with the themed icon `iconName`, best effort: through the running
// GApplication when there is one, otherwise straight to the desktop's notification service over
// D-Bus. Never blocks; without a session bus or a notification service nothing is shown.
void notifyDesktop(const std::string& title, const std::string& body, const std::string& iconName);

// An image shown in a notification: straight (not premultiplied) RGBA, 8 bits a channel, rows
// packed (width * 4 bytes each).
struct NoticeImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgba;
  bool operator==(const NoticeImage&) const = default;
};

// A notification that can be replaced, taken back and clicked.
struct DesktopNotice {
  std::string key;    // a notice shown under the same key replaces the one before
  std::string title;  // plain text
  std::string body;   // plain text
  std::optional<NoticeImage> image;
  std::string iconName;  // the themed icon shown without an image
};

// The most of a notification's title and body shown: a page may give megabytes.
inline constexpr std::size_t noticeTitleLimit = 200;
inline constexpr std::size_t noticeBodyLimit = 1000;

// The desktop's notifications, as the shell uses them.
class DesktopNotices {
 public:
  virtual ~DesktopNotices() = default;
  // Shows `notice`, replacing the one shown under its key. Never blocks; without a notification
  // service nothing is shown.
  virtual void show(const DesktopNotice& notice) = 0;
  // Takes back the notice shown under `key`, if any.
  virtual void withdraw(const std::string& key) = 0;

  // The user clicked the notice shown under `key` (its default action), on the main loop.
  std::function<void(const std::string& key)> onActivated;
  // The notice shown under `key` left the desktop by itself: it expired, or the user dismissed
  // or clicked it. Not called for notices taken back with withdraw().
  std::function<void(const std::string& key)> onClosed;
};

// The notifications over the freedesktop.org notification service (org.freedesktop.Notifications
// on the session bus), which every Linux desktop runs: the image goes as the "image-data" hint,
// the click as the "default" action, and the body is escaped where the service reads markup.
// Connects to the bus with the first notice; nothing happens before.
class FreedesktopNotices final : public DesktopNotices {
 public:
  // `appName` is the name the service shows the notices under; `desktopEntry` the desktop file's
  // name without ".desktop".
  FreedesktopNotices(std::string appName, std::string desktopEntry);
  ~FreedesktopNotices() override;
  FreedesktopNotices(const FreedesktopNotices&) = delete;
  FreedesktopNotices& operator=(const FreedesktopNotices&) = delete;

  void show(const DesktopNotice& notice) override;
  void withdraw(const std::string& key) override;

 private:
  enum class Bus { none, connecting, ready, missing };
  void connected(GDBusConnection* connection);
  void send(const DesktopNotice& notice);
  void sent(const std::string& key, std::uint32_t id);
  void close(std::uint32_t id);
  void signalled(const char* name, GVariant* parameters);

  std::string appName_;
  std::string desktopEntry_;
  Bus bus_ = Bus::none;
  bool bodyMarkup_ = false;
  // What waits for the connection, in order: a notice to show (true), or its key to take back.
  std::vector<std::pair<DesktopNotice, bool>> waiting_;
  // The service's id of each notice on screen, by key.
  std::map<std::string, std::uint32_t> ids_;
  // Keys whose Notify call is not answered yet; what is to happen to each once it is: the
  // notice that replaces it, or taking it back.
  std::set<std::string> inFlight_;
  std::map<std::string, DesktopNotice> queued_;
  std::set<std::string> closeOnReply_;
  GObjectPtr<GDBusConnection> connection_;
  BusSubscription signals_;
  CallGuard calls_;
};

}  // namespace vesk
