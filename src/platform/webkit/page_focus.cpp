// The page's body given the focus that a screen reader starts from (see page_focus.h).
#include "platform/webkit/page_focus.h"

#include <memory>

namespace tessary::platform::webkit {

namespace {

// In a world of its own: the page's scripts never see it, only the focus and the attribute.
constexpr char kWorld[] = "page-focus";
constexpr char kScript[] = R"js((() => {
  const focusBody = () => {
    const body = document.body, held = document.activeElement;
    if (!body || (held && held !== body && held !== document.documentElement)) return;
    if (!body.hasAttribute('tabindex')) body.tabIndex = -1;
    body.focus({preventScroll: true});
  };
  focusBody();
  addEventListener('focus', focusBody);
})())js";

}  // namespace

void keepPageFocused(WebKitWebView* view) {
  auto script = std::unique_ptr<WebKitUserScript, decltype(&webkit_user_script_unref)>(
      webkit_user_script_new_for_world(kScript, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                       WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_END, kWorld, nullptr,
                                       nullptr),
      webkit_user_script_unref);
  webkit_user_content_manager_add_script(webkit_web_view_get_user_content_manager(view),
                                         script.get());
}

}  // namespace tessary::platform::webkit
