// The environment this program runs its toolkit and web engine in, and the one it gives the
// programs it starts.
#pragma once

#include <gio/gio.h>

#include <initializer_list>
#include <utility>

#include "platform/glib/gobject_ptr.h"

namespace tessary::platform::glib {

// Settings for the toolkit and the engine, set before they read them and inherited by the
// engine's helper processes; one the user made stays as it is.
using Setting = std::pair<const char*, const char*>;
void setToolkitEnvironment(std::initializer_list<Setting> settings);

// The user's own environment, without what setToolkitEnvironment added: for the backend and
// the setup wizard.
GStrvPtr userEnvironment();

// The same for a program the desktop launches, such as the browser.
void useUserEnvironment(GAppLaunchContext* context);

}  // namespace tessary::platform::glib
