// The one web view: loading, page scripts, editing commands, and the hooks through which the
// engine tells the application what a page does and asks what it may do.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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

// A download the page started; it waits until it is told where to go.
class Download {
 public:
  virtual ~Download() = default;
  // The engine writes the file there as its bytes arrive.
  virtual void saveTo(const std::string& path) = 0;
  virtual void cancel() = 0;
  // Called once when the transfer has ended: with true when all of it arrived, with false
  // when it failed, was cancelled or its server went away before the end.
  virtual void setEndHandler(std::function<void(bool complete)> ended) = 0;
};
// With the file name the engine suggests.
using DownloadHandler =
    std::function<void(const std::string& suggestedName, std::shared_ptr<Download> download)>;
// A drop on the page, told once the user lets go over the view, before the page's own drop
// event runs: files handed over from the handler (see handDroppedFiles) reach that event. Where
// the page takes no part of the drop, what the engine does next (open what was dropped in place
// of the page) is a navigation, put to the navigation policy as any other.
struct Drop {
  std::vector<std::string> dropped;  // addresses, or text
  std::vector<std::string> files;    // the local files among the addresses, as paths
  bool fromOtherProgram = false;     // not a drag that started in the page
};
using DropHandler = std::function<void(const Drop& drop)>;

// How a page answers when asked to let the program close it.
enum class LeaveAnswer {
  Leave,   // it lets go: it held nothing, or the user chose to leave in its question
  Asking,  // it asks the user first, in the view; a user who stays is not answered again
};

// The one web view of the program. It never opens a second: a page's requests for a new
// window (a target-blank link, window.open) open nothing whatever the navigation policy says,
// and none of its menus offers to open one.
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
  virtual void setDropHandler(DropHandler handler) = 0;
  // Called from the drop handler: the page's drop event carries these files (name, size, type
  // and contents, read from disk as the page reads them), as a browser gives them.
  virtual void handDroppedFiles(const std::vector<std::string>& paths) = 0;
  // Called when the page's content process ended unexpectedly (a crash, the memory limit).
  virtual void setCrashHandler(std::function<void()> handler) = 0;
  // Called when the page last asked for has loaded (or failed to).
  virtual void setLoadHandler(std::function<void()> handler) = 0;
  // Loads the page last asked for again.
  virtual void reload() = 0;
  // Runs the page's before-unload handlers, as closing a browser's tab does; while the page's
  // question is open, asking again only answers Asking again.
  virtual void askToLeave(std::function<void(LeaveAnswer)> answer) = 0;
};

}  // namespace tessary::platform
