// Workaround: since the fix of CVE-2025-13947 (a page could read any file it named in a
// text/uri-list of its own drag), WebKitGTK shows a page a drag of files from another program
// as one of addresses, not of type "Files", so a drop zone that opens for files stays shut, and
// gives the page's drop event no files (`dataTransfer.files` is empty). Until the engine hands
// trusted drops their files again (WebKit bug 323277), the program does: a script of its own
// shows such a drag as "Files"; at the drop, run as the user's gesture, it has a file input of
// the engine's pick the dropped files (the file request it makes is answered with them, no
// dialog shown), takes the page's drop and dispatches it again at the same point, carrying
// them. The files are the engine's own, read from disk as the page reads them; nothing of them
// passes through the program.
#pragma once

#include "platform/webkit/compat.h"

#include <string>
#include <vector>

namespace tessary::platform::webkit {

class DroppedFiles {
 public:
  explicit DroppedFiles(WebKitWebView* view);
  // When a drag's data arrives, before the engine tells the page that it entered: one from
  // another program that carries files shows the page the type "Files", as a browser does.
  void dragging(bool files);
  // At the drop, before the engine delivers it to the page.
  void hand(const std::vector<std::string>& paths);
  // Any other drop.
  void clear() { paths_.clear(); }
  // Answers the file request that the script makes for the files handed over; false for any
  // other request.
  bool answer(WebKitFileChooserRequest* request);

 private:
  WebKitWebView* view_;
  std::vector<std::string> paths_;
};

}  // namespace tessary::platform::webkit
