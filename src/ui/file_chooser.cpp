// File inputs of the page and its downloads: a native chooser, one per request.
#include "application/app_delegate.h"

namespace tessary {

void AppDelegate::runOpenPanel(const platform::FileRequest& request,
                               platform::FileListCompletion done) {
  platform::FileChooserSpec spec;
  spec.title = "Wybierz nagranie sesji";
  spec.acceptLabel = "Wybierz";
  spec.chooseDirectories = request.allowsDirectories;
  spec.multiple = request.allowsMultipleSelection;
  desktop_.chooseFiles(spec, std::move(done));
}

// Downloads ask one at a time, in the order the page started them.
void AppDelegate::saveDownload(const std::string& suggestedName, platform::SaveAnswer answer) {
  downloads_.emplace_back(suggestedName, std::move(answer));
  if (downloads_.size() == 1) askWhereToSave();
}

void AppDelegate::askWhereToSave() {
  platform::FileChooserSpec spec;
  spec.title = "Zapisz plik";
  spec.acceptLabel = "Zapisz";
  spec.save = true;
  spec.suggestedName = downloads_.front().first;
  desktop_.chooseFiles(spec, [this](platform::FileList files) {
    auto answer = std::move(downloads_.front().second);
    downloads_.pop_front();
    answer(files && files->size() == 1 ? std::optional(files->front()) : std::nullopt);
    if (!downloads_.empty()) askWhereToSave();
  });
}

}  // namespace tessary
