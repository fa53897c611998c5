// File inputs of the page: a native chooser, one per request.
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

}  // namespace tessary
