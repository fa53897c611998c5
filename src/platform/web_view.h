// The one web view: loading, page scripts, editing commands, and the two hooks
// through which the engine asks the application about navigations and file inputs.
#pragma once

#include <functional>
#include <string>

#include "platform/types.h"

namespace tessary::platform {

enum class EditCommand { Undo, Redo, Cut, Copy, Paste, SelectAll };

// What a page may ask the user for; Other is any kind this list does not know yet.
enum class Permission {
  Geolocation,
  Notifications,
  CameraOrMicrophone,
  DeviceList,
  Clipboard,
  PointerLock,
  MediaKeys,
  WebsiteData,
  Other
};

// Put to every navigation: main frame, frames, new-window requests and redirects. An absent
// address is a navigation whose request has no address at all.
using NavigationPolicy = std::function<bool(const std::optional<Address>&)>;
// Put to every permission request of a page; false refuses it at once, without a prompt.
using PermissionPolicy = std::function<bool(Permission)>;
using FileRequestHandler = std::function<void(const FileRequest&, FileListCompletion)>;
// A download the page started, with the file name the engine suggests; the answer is where
// to save it, or nothing to cancel it.
using DownloadHandler = std::function<void(const std::string& suggestedName, SaveAnswer answer)>;

class WebView {
 public:
  virtual ~WebView() = default;
  virtual void loadUrl(const std::string& url) = 0;
  // A local page that may read any file below readAccessRoot.
  virtual void loadFile(const std::string& path, const std::string& readAccessRoot) = 0;
  // Runs a script in the page shown now; done runs once the page has run it or could not,
  // never before runScript returns and never after the view is gone.
  virtual void runScript(const std::string& script, std::function<void()> done) = 0;
  virtual void editCommand(EditCommand command) = 0;
  virtual void setNavigationPolicy(NavigationPolicy allow) = 0;
  virtual void setFileRequestHandler(FileRequestHandler handler) = 0;
  // Without a policy every request is refused.
  virtual void setPermissionPolicy(PermissionPolicy decide) = 0;
  // Without a handler no download is saved.
  virtual void setDownloadHandler(DownloadHandler handler) = 0;
  // Called when the page's content process ended unexpectedly (a crash, the memory limit).
  virtual void setCrashHandler(std::function<void()> handler) = 0;
  // Called when the page last asked for has loaded (or failed to).
  virtual void setLoadHandler(std::function<void()> handler) = 0;
  // Loads the page last asked for again.
  virtual void reload() = 0;
};

}  // namespace tessary::platform
