// The main window on GTK 3.
#include "platform/gtk3/gtk3_window.h"

namespace tessary::platform::gtk3 {

using namespace glib;

MainWindow::MainWindow(GtkApplication* application, const WindowOptions& options,
                       GtkWidget* menuBar, GtkAccelGroup* accelerators,
                       std::vector<Accelerator> beforePage, std::function<void()> beforeView)
    : window_(GTK_WINDOW(g_object_ref_sink(gtk_application_window_new(application)))),
      menuBar_(menuBar),
      page_(GTK_BOX(gtk_box_new(GTK_ORIENTATION_VERTICAL, 0))),
      webView_(page_, options.background, std::move(beforeView)),
      beforePage_(std::move(beforePage)) {
  gtk_window_set_title(window_.get(), options.title.c_str());
  gtk_window_set_default_size(window_.get(), options.width, options.height);
  GdkGeometry hints{};
  hints.min_width = options.minWidth;
  hints.min_height = options.minHeight;
  gtk_window_set_geometry_hints(window_.get(), nullptr, &hints, GDK_HINT_MIN_SIZE);
  // Centred within the monitor's work area.
  gtk_window_set_position(window_.get(), GTK_WIN_POS_CENTER);
  if (accelerators) gtk_window_add_accel_group(window_.get(), accelerators);

  // The background colour is the page area's alone, behind the web view, which paints nothing
  // before its first page; the menu bar keeps the theme's colours, its text drawn for them.
  const Color& c = options.background;
  GCharPtr css(g_strdup_printf(
      "box { background-color: rgba(%d, %d, %d, %g); }", static_cast<int>(c.red * 255 + 0.5),
      static_cast<int>(c.green * 255 + 0.5), static_cast<int>(c.blue * 255 + 0.5), c.alpha));
  auto provider = adopt(gtk_css_provider_new());
  gtk_css_provider_load_from_data(provider.get(), css.get(), -1, nullptr);
  gtk_style_context_add_provider(gtk_widget_get_style_context(GTK_WIDGET(page_)),
                                 GTK_STYLE_PROVIDER(provider.get()),
                                 GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  if (menuBar) gtk_box_pack_start(GTK_BOX(box), menuBar, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(box), GTK_WIDGET(page_), TRUE, TRUE, 0);
  gtk_container_add(GTK_CONTAINER(window_.get()), box);
  signals_.connect(window_.get(), "delete-event", onDelete, this);
  signals_.connect(window_.get(), "key-press-event", onKeyPress, this);
  gtk_widget_show_all(GTK_WIDGET(window_.get()));
}

MainWindow::~MainWindow() {
  // A menu still open (a quit from the status menu or a signal while the user browses one)
  // is closed while the bar is in its window: closed later, GTK looks for the window in vain.
  if (menuBar_) gtk_menu_shell_deactivate(GTK_MENU_SHELL(menuBar_));
  gtk_widget_destroy(GTK_WIDGET(window_.get()));
}

gboolean MainWindow::onDelete(GtkWidget*, GdkEvent*, gpointer data) {
  auto* self = static_cast<MainWindow*>(data);
  // TRUE keeps the window: only the handler decides what closing means.
  return self->shouldClose_ ? !self->shouldClose_() : FALSE;
}

// GTK 3 activates a window's accelerators and mnemonics before the focused widget sees the key,
// so a page's own editors would never get Ctrl+A, Ctrl+Z or Ctrl+M. The web view hands every
// key to the page and, where the page leaves it, sends the same event back to the window once
// more, marked to pass the view by: only then do the menus act on it.
gboolean MainWindow::onKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer data) {
  auto* self = static_cast<MainWindow*>(data);
  const auto held =
      static_cast<GdkModifierType>(event->state & gtk_accelerator_get_default_mod_mask());
  const guint key = gdk_keyval_to_lower(event->keyval);
  for (const auto& own : self->beforePage_)
    if (own.key == key && own.modifiers == held) return FALSE;  // GTK's own order
  auto* window = GTK_WINDOW(widget);
  if (gtk_window_propagate_key_event(window, event)) return TRUE;
  if (gtk_window_activate_key(window, event)) return TRUE;
  // What GtkWindow's own handler would do last (focus keys), without handing the key to the
  // view a second time: that would send it to the page again.
  gtk_bindings_activate_event(G_OBJECT(widget), event);
  return TRUE;
}

}  // namespace tessary::platform::gtk3
