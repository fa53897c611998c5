// Downloads on WebKitGTK: each one the page starts, handed to the program once the engine asks
// where it should go.
#pragma once

#include <webkit2/webkit2.h>

#include "platform/web_view.h"

namespace tessary::platform::linux_impl {

// Without a handler the download is cancelled.
void watchDownload(WebKitDownload* download, const DownloadHandler& handler);

}  // namespace tessary::platform::linux_impl
