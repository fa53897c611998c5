// The web view in a GTK 3 window: the engine's shared part (webkit/webkit_web_view.h) put in
// its place, with GTK 3's drag and drop events told to it.
#pragma once

#include <gtk/gtk.h>

#include <functional>

#include "platform/webkit/webkit_web_view.h"

namespace tessary::platform::gtk3 {

class WebView final : public webkit::WebView {
 public:
  // The view goes into place once it is made (see webkit::WebView).
  WebView(GtkBox* place, Color background, std::function<void()> beforeView)
      : webkit::WebView(background, std::move(beforeView)), place_(place) {}

 private:
  void place(WebKitWebView* view) override;
  static void onDragData(GtkWidget*, GdkDragContext* context, gint, gint, GtkSelectionData* data,
                         guint, guint, gpointer self);
  static gboolean onDrop(GtkWidget*, GdkDragContext* context, gint, gint, guint, gpointer self);

  GtkBox* place_;
  glib::SignalConnections signals_;
};

}  // namespace tessary::platform::gtk3
