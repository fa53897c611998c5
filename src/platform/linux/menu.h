// GTK menus built from a table of entries.
#pragma once

#include <gtk/gtk.h>

#include <list>
#include <vector>

#include "platform/types.h"

namespace tessary::platform::linux_impl {

// Owns the actions the menu items call; must outlive the items.
using MenuActions = std::list<std::function<void()>>;

// Appends the entries to shell; accelerators are added to accelerators when given.
void fillMenu(GtkMenuShell* shell, const std::vector<MenuEntry>& entries,
              GtkAccelGroup* accelerators, MenuActions& actions);

}  // namespace tessary::platform::linux_impl
