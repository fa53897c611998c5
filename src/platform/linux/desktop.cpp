// The application on GtkApplication: single instance, lifecycle, menu bar, alerts, the file
// chooser, the default browser; and the process entry into the event loop.
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "platform/application.h"
#include "platform/linux/environment.h"
#include "platform/linux/gobject_ptr.h"
#include "platform/linux/gtk_window.h"
#include "platform/linux/menu.h"
#include "platform/linux/sandbox.h"
#include "platform/linux/status_item.h"
#include "platform/linux/system.h"

namespace tessary::platform {

std::string userDataDirectory() {
  return g_get_user_data_dir();
}

std::optional<std::string> executablePath() {
  char buffer[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return std::nullopt;
  return std::string(buffer, static_cast<size_t>(n));
}

namespace linux_impl {
namespace {

std::optional<std::string> iconThemePath() {
  auto exe = executablePath();
  if (!exe) return std::nullopt;
  auto icons = std::filesystem::path(*exe).parent_path().parent_path() / "share" / "icons";
  std::error_code error;
  if (!std::filesystem::is_directory(icons, error)) return std::nullopt;
  return icons.string();
}

class GtkDesktop final : public Desktop {
 public:
  explicit GtkDesktop(GtkApplication* application) : application_(application) {}

  void installMenuBar(std::vector<Menu> menus) override { menus_ = std::move(menus); }

  std::unique_ptr<Window> createWindow(const WindowSpec& spec) override {
    sandbox_.enable();
    accelerators_ = adopt(gtk_accel_group_new());
    GtkWidget* bar = gtk_menu_bar_new();
    for (const auto& menu : menus_) {
      GtkWidget* top = gtk_menu_item_new_with_label(menu.title.c_str());
      GtkWidget* submenu = gtk_menu_new();
      gtk_menu_set_accel_group(GTK_MENU(submenu), accelerators_.get());
      fillMenu(GTK_MENU_SHELL(submenu), menu.entries, accelerators_.get(), actions_);
      gtk_menu_item_set_submenu(GTK_MENU_ITEM(top), submenu);
      gtk_menu_shell_append(GTK_MENU_SHELL(bar), top);
    }
    auto window = createGtkWindow(application_, spec, bar, accelerators_.get());
    main_ = toplevelOf(*window);
    return window;
  }

  std::unique_ptr<StatusItem> createStatusItem(const StatusItemSpec& spec) override {
    return createIndicator(spec, iconThemePath());
  }

  void alert(const std::string& title, const std::string& text) override {
    if (main_) gtk_window_present(main_);
    GtkWidget* dialog = gtk_message_dialog_new(main_, GTK_DIALOG_MODAL, GTK_MESSAGE_WARNING,
                                               GTK_BUTTONS_NONE, "%s", title.c_str());
    gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s", text.c_str());
    gtk_dialog_add_button(GTK_DIALOG(dialog), "OK", GTK_RESPONSE_OK);
    gtk_window_set_title(GTK_WINDOW(dialog), title.c_str());
    modal_ = GTK_DIALOG(dialog);
    gtk_dialog_run(GTK_DIALOG(dialog));
    modal_ = nullptr;
    gtk_widget_destroy(dialog);
  }

  void showAbout() override {
    gtk_show_about_dialog(main_, "program-name", "Halvaren Tessary", "logo-icon-name",
                          "halvaren-tessary", "comments", "Panel Halvaren Tessary na pulpicie",
                          nullptr);
  }

  void chooseFiles(const FileChooserSpec& spec, FileListCompletion completion) override {
    // GTK 3 chooses either files or folders in one dialog: files always win.
    GtkFileChooserNative* chooser = gtk_file_chooser_native_new(
        spec.title.c_str(), main_,
        spec.save ? GTK_FILE_CHOOSER_ACTION_SAVE : GTK_FILE_CHOOSER_ACTION_OPEN,
        spec.acceptLabel.c_str(), nullptr);
    gtk_native_dialog_set_modal(GTK_NATIVE_DIALOG(chooser), FALSE);
    if (spec.save) {
      const char* downloads = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD);
      gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser),
                                          downloads ? downloads : g_get_home_dir());
      gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(chooser), spec.suggestedName.c_str());
      gtk_file_chooser_set_do_overwrite_confirmation(GTK_FILE_CHOOSER(chooser), TRUE);
    } else {
      gtk_file_chooser_set_select_multiple(GTK_FILE_CHOOSER(chooser), spec.multiple);
    }
    g_signal_connect_data(
        chooser, "response", G_CALLBACK(onChooserResponse),
        new FileListCompletion(std::move(completion)),
        [](gpointer data, GClosure*) { delete static_cast<FileListCompletion*>(data); },
        GConnectFlags(0));
    gtk_native_dialog_show(GTK_NATIVE_DIALOG(chooser));
  }

  void openInBrowser(const std::string& url) override {
    auto context =
        adopt(G_APP_LAUNCH_CONTEXT(gdk_display_get_app_launch_context(gdk_display_get_default())));
    useUserEnvironment(context.get());
    g_app_info_launch_default_for_uri(url.c_str(), context.get(), nullptr);
  }

  void quit() override {
    // The alert's own loop would otherwise keep a logout waiting for "OK".
    if (modal_) gtk_dialog_response(modal_, GTK_RESPONSE_DELETE_EVENT);
    g_application_quit(G_APPLICATION(application_));
  }

  // A minimised window does not count as visible: re-opening brings it back.
  bool hasVisibleWindow() const {
    if (!main_ || !gtk_widget_get_visible(GTK_WIDGET(main_))) return false;
    GdkWindow* surface = gtk_widget_get_window(GTK_WIDGET(main_));
    return !surface || !(gdk_window_get_state(surface) & GDK_WINDOW_STATE_ICONIFIED);
  }

  // The engine's sandbox is tried while the rest of the program starts.
  void startup() { sandbox_.probe(); }

 private:
  static void onChooserResponse(GtkNativeDialog* dialog, gint response, gpointer data) {
    auto& completion = *static_cast<FileListCompletion*>(data);
    FileList files;
    if (response == GTK_RESPONSE_ACCEPT) {
      files.emplace();
      GSList* names = gtk_file_chooser_get_filenames(GTK_FILE_CHOOSER(dialog));
      for (GSList* n = names; n; n = n->next) {
        GCharPtr name(static_cast<gchar*>(n->data));
        // Links resolve to what they point to; a file to save may not exist yet.
        char resolved[PATH_MAX];
        const bool save =
            gtk_file_chooser_get_action(GTK_FILE_CHOOSER(dialog)) == GTK_FILE_CHOOSER_ACTION_SAVE;
        files->push_back(!save && ::realpath(name.get(), resolved) ? resolved : name.get());
      }
      g_slist_free(names);
    }
    FileListCompletion done = std::move(completion);
    g_object_unref(dialog);  // drops the handler and its data too
    done(std::move(files));
  }

  GtkApplication* application_;
  EngineSandbox sandbox_;
  std::vector<Menu> menus_;
  MenuActions actions_;
  GObjectPtr<GtkAccelGroup> accelerators_;
  GtkWindow* main_ = nullptr;
  GtkDialog* modal_ = nullptr;
};

struct Running {
  GtkApplication* application;
  const DelegateFactory& makeDelegate;
  GtkDesktop desktop;
  GlibSystem system;
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
  const auto& info = *static_cast<const ApplicationInfo*>(data);
  if (g_variant_dict_contains(options, "version")) {
    std::printf("%s %s\n", info.name.c_str(), info.version.c_str());
    return 0;
  }
  if (!gtk_init_check(nullptr, nullptr)) {
    std::fprintf(stderr,
                 "%s: no graphical display (DISPLAY/WAYLAND_DISPLAY unset or unreachable); run "
                 "it in a desktop session, or under Xvfb: xvfb-run -a %s\n",
                 info.name.c_str(), info.name.c_str());
    return 1;
  }
  GError* rawError = nullptr;
  if (!g_application_register(application, nullptr, &rawError)) {
    // Without a session bus there is no single instance to hand over to.
    GErrorPtr error(rawError);
    std::fprintf(stderr, "%s: running without single-instance support: %s\n", info.name.c_str(),
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
}  // namespace linux_impl

int runApplication(const ApplicationInfo& info, int argc, char** argv,
                   const DelegateFactory& makeDelegate) {
  using namespace linux_impl;
  setToolkitEnvironment();  // GTK reads it with the command line
  auto application = adopt(gtk_application_new(info.id.c_str(), G_APPLICATION_DEFAULT_FLAGS));
  const GOptionEntry options[] = {{"version", 0, 0, G_OPTION_ARG_NONE, nullptr,
                                   "Wypisuje wersję programu i kończy działanie", nullptr},
                                  {}};
  g_application_add_main_option_entries(G_APPLICATION(application.get()), options);
  g_application_set_option_context_summary(G_APPLICATION(application.get()), info.summary.c_str());
  g_signal_connect(application.get(), "handle-local-options", G_CALLBACK(onLocalOptions),
                   const_cast<ApplicationInfo*>(&info));
  Running running{application.get(), makeDelegate, GtkDesktop(application.get()), GlibSystem(),
                  nullptr};
  g_signal_connect(application.get(), "startup", G_CALLBACK(onStartup), &running);
  g_signal_connect(application.get(), "activate", G_CALLBACK(onActivate), &running);
  g_signal_connect(application.get(), "shutdown", G_CALLBACK(onShutdown), &running);
  SourceId signals[] = {SourceId(g_unix_signal_add(SIGTERM, onQuitSignal, &running)),
                        SourceId(g_unix_signal_add(SIGINT, onQuitSignal, &running)),
                        SourceId(g_unix_signal_add(SIGHUP, onQuitSignal, &running))};
  int status = g_application_run(G_APPLICATION(application.get()), argc, argv);
  running.delegate.reset();
  return status;
}

}  // namespace tessary::platform
