// The main window and its web view on GTK 3 and WebKitGTK.
#pragma once

#include <gtk/gtk.h>

#include <memory>

#include "platform/desktop.h"

namespace tessary::platform::linux_impl {

// The window holds the menu bar above the web view.
std::unique_ptr<Window> createGtkWindow(GtkApplication* application, const WindowSpec& spec,
                                        GtkWidget* menuBar, GtkAccelGroup* accelerators);

// The toplevel behind a window made by createGtkWindow.
GtkWindow* toplevelOf(Window& window);

}  // namespace tessary::platform::linux_impl
