// The program's own settings for its toolkit, kept out of the environment it gives the programs
// it starts.
#include "platform/glib/environment.h"

#include <string>
#include <utility>
#include <vector>

namespace tessary::platform::glib {
namespace {

std::vector<std::string>& added() {
  static std::vector<std::string> names;
  return names;
}

}  // namespace

void setToolkitEnvironment(std::initializer_list<Setting> settings) {
  for (const auto& [name, value] : settings) {
    if (g_getenv(name)) continue;
    g_setenv(name, value, TRUE);
    added().push_back(name);
  }
}

GStrvPtr userEnvironment() {
  gchar** environment = g_get_environ();
  for (const auto& name : added()) environment = g_environ_unsetenv(environment, name.c_str());
  return GStrvPtr(environment);
}

void useUserEnvironment(GAppLaunchContext* context) {
  for (const auto& name : added()) g_app_launch_context_unsetenv(context, name.c_str());
}

}  // namespace tessary::platform::glib
