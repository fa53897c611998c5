// Downloads the page starts: each asks where to save it, one at a time in the order the page
// started them, and one that does not arrive whole, or still runs when the program ends,
// leaves nothing behind. It owns the transfers.
#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "platform/web_view.h"

namespace tessary {

class Downloads {
 public:
  explicit Downloads(platform::Desktop& desktop) : desktop_(desktop) {}
  // Every download still being written is cancelled, and none of its bytes left behind.
  ~Downloads();
  Downloads(const Downloads&) = delete;
  Downloads& operator=(const Downloads&) = delete;

  // Saves the view's downloads from now on.
  void attach(platform::WebView& webView);
  void saveDownload(const std::string& suggestedName, std::shared_ptr<platform::Download> download);

 private:
  struct Transfer {
    std::string suggestedName;
    std::shared_ptr<platform::Download> download;
    std::optional<std::string> path;
    bool ended = false;
  };
  void askWhereToSave();
  void downloadEnded(Transfer& transfer, bool complete);

  platform::Desktop& desktop_;
  // Downloads waiting for the user to say where they go, the first one being asked; and the
  // ones being written.
  std::deque<std::shared_ptr<Transfer>> waitingDownloads_;
  std::vector<std::shared_ptr<Transfer>> savingDownloads_;
};

}  // namespace tessary
