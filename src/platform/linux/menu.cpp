// GTK menus built from a table of entries.
#include "platform/linux/menu.h"

namespace tessary::platform::linux_impl {

void fillMenu(GtkMenuShell* shell, const std::vector<MenuEntry>& entries,
              GtkAccelGroup* accelerators, MenuActions& actions) {
  for (const auto& entry : entries) {
    if (entry.label.empty()) {
      gtk_menu_shell_append(shell, gtk_separator_menu_item_new());
      continue;
    }
    GtkWidget* item = gtk_menu_item_new_with_label(entry.label.c_str());
    if (entry.action) {
      actions.push_back(entry.action);
      g_signal_connect(item, "activate", G_CALLBACK(+[](GtkMenuItem*, gpointer data) {
                         (*static_cast<std::function<void()>*>(data))();
                       }),
                       &actions.back());
    }
    if (accelerators && !entry.accelerator.empty()) {
      guint key = 0;
      GdkModifierType mods{};
      gtk_accelerator_parse(entry.accelerator.c_str(), &key, &mods);
      if (key)
        gtk_widget_add_accelerator(item, "activate", accelerators, key, mods, GTK_ACCEL_VISIBLE);
    }
    gtk_menu_shell_append(shell, item);
  }
}

}  // namespace tessary::platform::linux_impl
