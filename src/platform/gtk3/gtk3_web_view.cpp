// The web view in a GTK 3 window.
#include "platform/gtk3/gtk3_web_view.h"

#include <utility>

#include "platform/glib/gobject_ptr.h"

namespace tessary::platform::gtk3 {

using namespace glib;

void WebView::place(WebKitWebView* view) {
  signals_.connect(view, "drag-data-received", onDragData, this);
  signals_.connect(view, "drag-drop", onDrop, this);
  GtkWidget* widget = GTK_WIDGET(view);
  gtk_box_pack_start(place_, widget, TRUE, TRUE, 0);
  gtk_widget_show(widget);
  // Where the keyboard, and a screen reader, start; and return to after a dialog.
  gtk_widget_grab_focus(widget);
}

// The drag's data arrives when the pointer first enters the view with it, long before the
// drop, and again as it moves. A drag that started in another program has no source widget.
void WebView::onDragData(GtkWidget*, GdkDragContext* context, gint, gint, GtkSelectionData* data,
                         guint, guint, gpointer self) {
  Drop dragged;
  if (GStrvPtr uris{gtk_selection_data_get_uris(data)}) {
    for (gchar** uri = uris.get(); *uri; ++uri) {
      dragged.dropped.emplace_back(*uri);
      GCharPtr path(g_filename_from_uri(*uri, nullptr, nullptr));
      if (path && g_file_test(path.get(), G_FILE_TEST_IS_REGULAR))
        dragged.files.emplace_back(path.get());
    }
  }
  GCharPtr text(reinterpret_cast<gchar*>(gtk_selection_data_get_text(data)));
  if (text) dragged.dropped.emplace_back(g_strstrip(text.get()));
  dragged.fromOtherProgram = !gtk_drag_get_source_widget(context);
  static_cast<WebView*>(self)->dragArrived(std::move(dragged));
}

// Connected before the engine's own handler runs, which delivers the drop to the page.
gboolean WebView::onDrop(GtkWidget*, GdkDragContext* context, gint, gint, guint, gpointer self) {
  static_cast<WebView*>(self)->dropArrived(!gtk_drag_get_source_widget(context));
  return FALSE;
}

}  // namespace tessary::platform::gtk3
