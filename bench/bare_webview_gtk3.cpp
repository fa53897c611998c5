// The floor the program is measured against: a bare GTK window of the same size holding one
// WebKitGTK web view that loads the address given as the last argument. Nothing else, unless
// --document-viewer asks for the engine's smallest cache model, to weigh that setting alone.
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  gtk_init(nullptr, nullptr);
  const bool documentViewer = argc == 3 && g_strcmp0(argv[1], "--document-viewer") == 0;
  const bool noCompositing = argc == 3 && g_strcmp0(argv[1], "--no-compositing") == 0;
  if (documentViewer) {
    webkit_web_context_set_cache_model(webkit_web_context_get_default(),
                                       WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER);
  }
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window), "Bare web view");
  gtk_window_set_default_size(GTK_WINDOW(window), 1280, 840);
  GtkWidget* view = webkit_web_view_new();
  if (noCompositing) {
    webkit_settings_set_hardware_acceleration_policy(
        webkit_web_view_get_settings(WEBKIT_WEB_VIEW(view)),
        WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
  }
  gtk_container_add(GTK_CONTAINER(window), view);
  g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
  webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), argv[argc - 1]);
  gtk_widget_show_all(window);
  gtk_main();
  return 0;
}
