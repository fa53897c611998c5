// Workaround: WebKitGTK 2.50 reports its document to the accessibility bus as focused only
// while some element of the page holds the DOM focus. The web view holds the toolkit's focus
// from the start, but a loaded page focuses nothing and the engine emits no focus event, so a
// screen reader starts nowhere. Until the engine reports the document focused by itself, each
// page gives its body the focus when it loads and when the window is active again, unless the
// page focused something of its own. The body then holds tabindex=-1, which the page can see.
#pragma once

#include "platform/webkit/compat.h"

namespace tessary::platform::webkit {

void keepPageFocused(WebKitWebView* view);

}  // namespace tessary::platform::webkit
