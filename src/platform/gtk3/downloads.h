// Downloads on WebKitGTK: each one the page starts, handed to the program once the engine asks
// where it should go.
#pragma once

#include <webkit2/webkit2.h>

#include "platform/web_view.h"

namespace tessary::platform::gtk3 {

// Without a handler the download is cancelled.
void watchDownload(WebKitDownload* download, const DownloadHandler& handler);

}  // namespace tessary::platform::gtk3
