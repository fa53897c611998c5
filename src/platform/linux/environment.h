// The environment this program runs its toolkit and web engine in, and the one it gives the
// programs it starts.
#pragma once

#include <gio/gio.h>

#include "platform/linux/gobject_ptr.h"

namespace tessary::platform::linux_impl {

// Before GTK reads its settings. The window and its web view draw without OpenGL and without
// compositing (shared-memory buffers), so GDK is told not to probe for OpenGL and the engine
// not to set up its DMA-BUF renderer: both load and start the software renderer on the main
// thread, tens of milliseconds each on the way to the first page, and that renderer is also
// the one that shows blank windows with some GPU drivers. The engine's helper processes
// inherit the settings; one the user made stays as it is.
void setToolkitEnvironment();

// The user's own environment, without what setToolkitEnvironment added: for the backend and
// the setup wizard.
GStrvPtr userEnvironment();

// The same for a program the desktop launches, such as the browser.
void useUserEnvironment(GAppLaunchContext* context);

}  // namespace tessary::platform::linux_impl
