// Downloads the page starts, saved where the user says, one question at a time.
#include "ui/downloads.h"

#include "platform/files.h"
#include "ui/ui_texts.h"

namespace tessary {

void Downloads::attach(platform::WebView& webView) {
  webView.setDownloadHandler(
      [this](const std::string& name, std::shared_ptr<platform::Download> download) {
        saveDownload(name, std::move(download));
      });
}

void Downloads::saveDownload(const std::string& suggestedName,
                             std::shared_ptr<platform::Download> download) {
  auto transfer =
      std::make_shared<Transfer>(Transfer{suggestedName, std::move(download), {}, false});
  transfer->download->setEndHandler([this, weak = std::weak_ptr(transfer)](bool complete) {
    if (auto ended = weak.lock()) downloadEnded(*ended, complete);
  });
  waitingDownloads_.push_back(std::move(transfer));
  if (waitingDownloads_.size() == 1) askWhereToSave();
}

void Downloads::askWhereToSave() {
  platform::FileChooserOptions options;
  options.title = kSavePanelTitle;
  options.acceptLabel = kSavePanelPrompt;
  options.save = true;
  options.suggestedName = waitingDownloads_.front()->suggestedName;
  desktop_.chooseFiles(options, [this](platform::FileList files) {
    auto transfer = std::move(waitingDownloads_.front());
    waitingDownloads_.pop_front();
    // One that ended while the user was asked has nothing left to decide.
    if (!transfer->ended && files && files->size() == 1) {
      transfer->path = files->front();
      savingDownloads_.push_back(transfer);
      transfer->download->saveTo(*transfer->path);
    } else if (!transfer->ended) {
      transfer->download->cancel();
    }
    if (!waitingDownloads_.empty()) askWhereToSave();
  });
}

// The engine writes a download where it goes as its bytes arrive.
void Downloads::downloadEnded(Transfer& transfer, bool complete) {
  transfer.ended = true;
  if (!complete && transfer.path) platform::removeFile(*transfer.path);
  std::erase_if(savingDownloads_, [&](const auto& each) { return each.get() == &transfer; });
}

Downloads::~Downloads() {
  for (const auto& transfer : std::exchange(savingDownloads_, {})) {
    transfer->download->setEndHandler(nullptr);
    transfer->download->cancel();
    platform::removeFile(*transfer->path);
  }
}

}  // namespace tessary
