// Downloads on WebKitGTK: each one the page starts, handed to the program once the engine asks
// where it should go.
#pragma once

#include "platform/web_view.h"
#include "platform/webkit/compat.h"

namespace tessary::platform::webkit {

// Without a handler the download is cancelled.
void watchDownload(WebKitDownload* download, const DownloadHandler& handler);

}  // namespace tessary::platform::webkit
