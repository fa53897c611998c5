// GTK menus built from a table of entries.
#pragma once

#include <gtk/gtk.h>

#include <string>
#include <vector>

#include "platform/types.h"

namespace tessary::platform::gtk3 {

// A menu item showing label, with the mnemonic underlined when there is one.
GtkWidget* menuItem(const std::string& label, char mnemonic);

// A shortcut as GTK names it: the key's value and the modifiers held.
struct Accelerator {
  guint key;
  GdkModifierType modifiers;
};
Accelerator acceleratorOf(const Shortcut& shortcut);

// Appends the entries to shell, each item owning its action; shortcuts go into accelerators
// when given.
void fillMenu(GtkMenuShell* shell, const std::vector<MenuEntry>& entries,
              GtkAccelGroup* accelerators);

}  // namespace tessary::platform::gtk3
