// File inputs of the page: a native chooser, one per request.
#include "application/app_delegate.h"

namespace tessary {

void AppDelegate::runOpenPanel(const platform::FileRequest& request,
                               platform::FileListCompletion done) {
  platform::FileChooserOptions options;
  options.title = "Wybierz nagranie sesji";
  options.acceptLabel = "Wybierz";
  options.chooseDirectories = request.allowsDirectories;
  options.multiple = request.allowsMultipleSelection;
  desktop_.chooseFiles(options, std::move(done));
}

}  // namespace tessary
