// Where the two WebKitGTK APIs the engine code is written for differ: 4.1 on GTK 3
// (webkit2gtk-4.1) and 6.0 on GTK 4 (webkitgtk-6.0, chosen by the toolkit's build defining
// TESSARY_WEBKITGTK_6). Everything else the engine code calls is the same in both.
#pragma once

#ifdef TESSARY_WEBKITGTK_6
#include <webkit/webkit.h>
#else
#include <webkit2/webkit2.h>
#endif

#include <string>

#include "platform/glib/environment.h"
#include "platform/glib/gobject_ptr.h"

namespace tessary::platform::webkit {

// "context-menu": 4.1 also passes the toolkit event that opened the menu, 6.0 does not.
template <gboolean (*kHandle)(WebKitContextMenu* menu)>
GCallback contextMenuCallback() {
#ifdef TESSARY_WEBKITGTK_6
  return G_CALLBACK(+[](WebKitWebView*, WebKitContextMenu* menu, WebKitHitTestResult*, gpointer) {
    return kHandle(menu);
  });
#else
  return G_CALLBACK(+[](WebKitWebView*, WebKitContextMenu* menu, GdkEvent*, WebKitHitTestResult*,
                        gpointer) { return kHandle(menu); });
#endif
}

// The object that emits "download-started" for the view's downloads: its network session in
// 6.0, its web context in 4.1.
inline gpointer downloadsOf(WebKitWebView* view) {
#ifdef TESSARY_WEBKITGTK_6
  return webkit_web_view_get_network_session(view);
#else
  return webkit_web_view_get_context(view);
#endif
}

// The view's cookies, and the folder where the engine keeps the rest of its website data (none
// where it keeps it nowhere).
struct WebsiteData {
  WebKitCookieManager* cookies;
  const char* folder;
};
inline WebsiteData websiteDataOf(WebKitWebView* view) {
#ifdef TESSARY_WEBKITGTK_6
  WebKitNetworkSession* session = webkit_web_view_get_network_session(view);
  WebKitWebsiteDataManager* data = webkit_network_session_get_website_data_manager(session);
  return {webkit_network_session_get_cookie_manager(session),
          webkit_website_data_manager_get_base_data_directory(data)};
#else
  WebKitWebsiteDataManager* data =
      webkit_web_context_get_website_data_manager(webkit_web_view_get_context(view));
  return {webkit_website_data_manager_get_cookie_manager(data),
          webkit_website_data_manager_get_base_data_directory(data)};
#endif
}

// Where a download is written: 4.1 takes an address, 6.0 a path. False where the path has no
// address.
inline bool setDestination(WebKitDownload* download, const std::string& path) {
#ifdef TESSARY_WEBKITGTK_6
  webkit_download_set_destination(download, path.c_str());
#else
  glib::GCharPtr uri(g_filename_to_uri(path.c_str(), nullptr, nullptr));
  if (!uri) return false;
  webkit_download_set_destination(download, uri.get());
#endif
  return true;
}

// Before the first content process. 4.1 starts its content processes unconfined unless asked;
// 6.0 always confines them unless the user's variable says otherwise, so where bubblewrap
// does not work the program says so for it (kept from the programs it starts).
inline void useSandbox(bool works) {
#ifdef TESSARY_WEBKITGTK_6
  if (!works) glib::setToolkitEnvironment({{"WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS", "1"}});
#else
  if (works) webkit_web_context_set_sandbox_enabled(webkit_web_context_get_default(), TRUE);
#endif
}

}  // namespace tessary::platform::webkit
