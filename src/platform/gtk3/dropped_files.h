// Workaround: WebKitGTK gives a page's drop event no files for a drop from another program
// (`dataTransfer.files` is empty) since the fix of CVE-2025-13947, which kept a page from
// reading any file it named in a text/uri-list of its own drag. Until the engine hands trusted
// drops their files again (WebKit bug 323277), the program hands them over at the drop: a
// script of its own, run as the user's gesture, has a file input of the engine's pick them
// (the file request it makes is answered with them, no dialog shown), takes the page's drop
// and dispatches it again, at the same point, carrying them. The files are the engine's own,
// read from disk as the page reads them; nothing of them passes through the program.
#pragma once

#include <webkit2/webkit2.h>

#include <string>
#include <vector>

namespace tessary::platform::gtk3 {

class DroppedFiles {
 public:
  explicit DroppedFiles(WebKitWebView* view);
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

}  // namespace tessary::platform::gtk3
