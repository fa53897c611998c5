// GTK menus built from a table of entries.
#include "platform/gtk3/menu.h"

#include "platform/glib/main_loop.h"

namespace tessary::platform::gtk3 {

using namespace glib;

GtkWidget* menuItem(const std::string& label, char mnemonic) {
  if (!mnemonic) return gtk_menu_item_new_with_label(label.c_str());
  // GTK's mnemonic syntax: an underscore before the letter, the label's own ones doubled.
  std::string marked;
  for (char c : label) {
    if (mnemonic && g_ascii_tolower(c) == g_ascii_tolower(mnemonic)) marked += '_', mnemonic = 0;
    if (c == '_') marked += '_';
    marked += c;
  }
  return gtk_menu_item_new_with_mnemonic(marked.c_str());
}

Accelerator acceleratorOf(const Shortcut& shortcut) {
  const unsigned held = shortcut.modifiers;
  return {gdk_unicode_to_keyval(static_cast<guint32>(shortcut.key)),
          static_cast<GdkModifierType>((held & Shortcut::kControl ? GDK_CONTROL_MASK : 0) |
                                       (held & Shortcut::kShift ? GDK_SHIFT_MASK : 0))};
}

void fillMenu(GtkMenuShell* shell, const std::vector<MenuEntry>& entries,
              GtkAccelGroup* accelerators) {
  using Action = std::function<void()>;
  for (const auto& entry : entries) {
    if (entry.label.empty()) {
      gtk_menu_shell_append(shell, gtk_separator_menu_item_new());
      continue;
    }
    GtkWidget* item = menuItem(entry.label, entry.mnemonic);
    if (entry.action) {
      g_signal_connect_data(
          item, "activate",
          G_CALLBACK(+[](GtkMenuItem*, gpointer data) { Boxed<Action>::of(data)(); }),
          Boxed<Action>::box(entry.action), Boxed<Action>::destroyClosure, GConnectFlags(0));
    }
    if (accelerators && entry.shortcut.key) {
      const Accelerator keys = acceleratorOf(entry.shortcut);
      gtk_widget_add_accelerator(item, "activate", accelerators, keys.key, keys.modifiers,
                                 GTK_ACCEL_VISIBLE);
    }
    gtk_menu_shell_append(shell, item);
  }
}

}  // namespace tessary::platform::gtk3
