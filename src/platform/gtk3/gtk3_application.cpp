// Process entry into GtkApplication's event loop: the single instance, its lifecycle, the
// command line, and the signals that end it.
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "platform/application.h"
#include "platform/glib/environment.h"
#include "platform/glib/glib_system.h"
#include "platform/gtk3/gtk3_desktop.h"
#include "platform/linux/installed_layout.h"

namespace tessary::platform {

namespace gtk3 {

using namespace glib;
namespace {

struct Running {
  const ApplicationInfo& info;
  GtkApplication* application;
  const DelegateFactory& makeDelegate;
  Desktop desktop;
  glib::System system;
  std::unique_ptr<ApplicationDelegate> delegate;
};

void onActivate(GtkApplication*, gpointer data) {
  auto* r = static_cast<Running*>(data);
  if (r->delegate) {
    // Started again while running: hand the running instance the re-open.
    r->delegate->applicationShouldHandleReopen(r->desktop.hasVisibleWindow());
    return;
  }
  r->delegate = r->makeDelegate(r->desktop, r->system);
  // Closing the last window must not end the program.
  if (!r->delegate->applicationShouldTerminateAfterLastWindowClosed())
    g_application_hold(G_APPLICATION(r->application));
  r->delegate->applicationDidFinishLaunching();
}

void onStartup(GtkApplication*, gpointer data) {
  static_cast<Running*>(data)->desktop.startup();
}

void onShutdown(GtkApplication*, gpointer data) {
  auto* r = static_cast<Running*>(data);
  if (r->delegate) r->delegate->applicationWillTerminate();
}

// After GApplication has read the command line and before it registers the instance: the
// version, then the display and the bus the program needs.
gint onLocalOptions(GApplication* application, GVariantDict* options, gpointer data) {
  auto* r = static_cast<Running*>(data);
  const auto& info = r->info;
  if (g_variant_dict_contains(options, "version")) {
    std::printf("%s %s\n", info.command.c_str(), info.version.c_str());
    return 0;
  }
  // Before the toolkit's own start: a second start hands over and stops it again at once.
  r->desktop.starting();
  if (!gtk_init_check(nullptr, nullptr)) {
    std::fprintf(stderr,
                 "%s: no graphical display (DISPLAY/WAYLAND_DISPLAY unset or unreachable); run "
                 "it in a desktop session, or under Xvfb: xvfb-run -a %s\n",
                 info.command.c_str(), info.command.c_str());
    return 1;
  }
  if (GErrorPtr error; !g_application_register(application, nullptr, out(error))) {
    // Without a session bus there is no single instance to hand over to.
    std::fprintf(stderr, "%s: running without single-instance support: %s\n", info.command.c_str(),
                 error ? error->message : "");
    g_application_set_flags(application, G_APPLICATION_NON_UNIQUE);
  }
  return -1;
}

gboolean onQuitSignal(gpointer data) {
  static_cast<Running*>(data)->desktop.quit();
  return G_SOURCE_CONTINUE;
}

}  // namespace
}  // namespace gtk3

int runApplication(const ApplicationInfo& info, int argc, char** argv,
                   const DelegateFactory& makeDelegate) {
  using namespace gtk3;
  // Before GTK reads its settings, with the command line. The window and its web view draw
  // without OpenGL and without compositing (shared-memory buffers), so GDK is told not to probe
  // for OpenGL and the engine not to set up its DMA-BUF renderer: both load and start the
  // software renderer on the main thread, tens of milliseconds each on the way to the first
  // page, and that renderer is also the one that shows blank windows with some GPU drivers.
  setToolkitEnvironment({{"GDK_GL", "disable"}, {"WEBKIT_DISABLE_DMABUF_RENDERER", "1"}});
  auto application = adopt(gtk_application_new(info.id.c_str(), G_APPLICATION_DEFAULT_FLAGS));
  const GOptionEntry options[] = {
      {"version", 0, 0, G_OPTION_ARG_NONE, nullptr, info.versionHelp.c_str(), nullptr}, {}};
  g_application_add_main_option_entries(G_APPLICATION(application.get()), options);
  g_application_set_option_context_summary(G_APPLICATION(application.get()), info.summary.c_str());
  Running running{info,           application.get(),
                  makeDelegate,   gtk3::Desktop(application.get(), info, iconThemeDirectory(info)),
                  glib::System(), nullptr};
  g_signal_connect(application.get(), "handle-local-options", G_CALLBACK(onLocalOptions), &running);
  g_signal_connect(application.get(), "startup", G_CALLBACK(onStartup), &running);
  g_signal_connect(application.get(), "activate", G_CALLBACK(onActivate), &running);
  g_signal_connect(application.get(), "shutdown", G_CALLBACK(onShutdown), &running);
  SourceId signals[] = {SourceId(g_unix_signal_add(SIGTERM, onQuitSignal, &running)),
                        SourceId(g_unix_signal_add(SIGINT, onQuitSignal, &running)),
                        SourceId(g_unix_signal_add(SIGHUP, onQuitSignal, &running))};
  int status = g_application_run(G_APPLICATION(application.get()), argc, argv);
  // Quitting already: a second signal (Ctrl-C after a hang-up) must not end it otherwise. GLib
  // puts back the default action when its last source for a signal goes, so they go first.
  for (auto& source : signals) source.reset();
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) ::signal(sig, SIG_IGN);
  running.delegate.reset();
  return status;
}

}  // namespace tessary::platform
