// The desktop's services on GTK 3.
#include "platform/gtk3/gtk3_desktop.h"

#include <limits.h>
#include <stdlib.h>

#include "platform/application.h"
#include "platform/glib/environment.h"
#include "platform/glib/main_loop.h"
#include "platform/gtk3/gtk3_status_item.h"
#include "platform/gtk3/gtk3_window.h"

namespace tessary::platform::gtk3 {

using namespace glib;

namespace {

void onChooserResponse(GtkNativeDialog* dialog, gint response, gpointer data) {
  FileListCompletion done = std::move(Boxed<FileListCompletion>::of(data));
  FileList files;
  if (response == GTK_RESPONSE_ACCEPT) {
    files.emplace();
    const bool save =
        gtk_file_chooser_get_action(GTK_FILE_CHOOSER(dialog)) == GTK_FILE_CHOOSER_ACTION_SAVE;
    GSList* names = gtk_file_chooser_get_filenames(GTK_FILE_CHOOSER(dialog));
    for (GSList* n = names; n; n = n->next) {
      GCharPtr name(static_cast<gchar*>(n->data));
      // Links resolve to what they point to; a file to save may not exist yet.
      char resolved[PATH_MAX];
      files->push_back(!save && ::realpath(name.get(), resolved) ? resolved : name.get());
    }
    g_slist_free(names);
  }
  g_object_unref(dialog);  // drops the handler and its data too
  done(std::move(files));
}

}  // namespace

void Desktop::startup() {
  if (iconThemeDir_)
    gtk_icon_theme_append_search_path(gtk_icon_theme_get_default(), iconThemeDir_->c_str());
  // A window's icon is set only where the theme has it.
  gtk_window_set_default_icon_name(info_.iconName.c_str());
}

std::optional<Size> Desktop::workArea() {
  GdkDisplay* display = gdk_display_get_default();
  GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
  if (!monitor && gdk_display_get_n_monitors(display) > 0)
    monitor = gdk_display_get_monitor(display, 0);
  if (!monitor) return std::nullopt;
  GdkRectangle area;
  gdk_monitor_get_workarea(monitor, &area);
  return Size{area.width, area.height};
}

std::unique_ptr<Window> Desktop::createWindow(const WindowOptions& options) {
  accelerators_ = adopt(gtk_accel_group_new());
  GtkWidget* bar = gtk_menu_bar_new();
  std::vector<Accelerator> beforePage;
  for (const auto& menu : menus_) {
    for (const auto& entry : menu.entries)
      if (entry.shortcut.beforePage) beforePage.push_back(acceleratorOf(entry.shortcut));
    GtkWidget* top = menuItem(menu.title, menu.mnemonic);
    GtkWidget* submenu = gtk_menu_new();
    gtk_menu_set_accel_group(GTK_MENU(submenu), accelerators_.get());
    fillMenu(GTK_MENU_SHELL(submenu), menu.entries, accelerators_.get());
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(top), submenu);
    gtk_menu_shell_append(GTK_MENU_SHELL(bar), top);
  }
  auto window = std::make_unique<MainWindow>(application_, options, bar, accelerators_.get(),
                                             std::move(beforePage), [this] { sandbox_.decide(); });
  main_ = window->toplevel();
  // The engine's network process then starts beside the window's first frame, not after the
  // first page is asked for (measured in bench/results/2026-12-08-startup-sandbox.md).
  if (sandbox_.decideIfAnswered()) window->prepareWebView();
  return window;
}

std::unique_ptr<StatusItem> Desktop::createStatusItem(const StatusItemOptions& options) {
  return createIndicator(options, iconThemeDir_);
}

void Desktop::alert(const std::string& title, const std::string& text, const std::string& button,
                    std::function<void()> pressed) {
  if (main_) gtk_window_present(main_);
  GtkWidget* dialog = gtk_message_dialog_new(main_, GTK_DIALOG_MODAL, GTK_MESSAGE_WARNING,
                                             GTK_BUTTONS_NONE, "%s", title.c_str());
  gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s", text.c_str());
  gtk_dialog_add_button(GTK_DIALOG(dialog), button.c_str(), GTK_RESPONSE_OK);
  gtk_window_set_title(GTK_WINDOW(dialog), title.c_str());
  g_signal_connect_data(dialog, "response", G_CALLBACK(onAlertResponse),
                        Boxed<AlertAnswer>::box({this, std::move(pressed)}),
                        Boxed<AlertAnswer>::destroyClosure, GConnectFlags(0));
  alerts_.push_back(dialog);
  gtk_widget_show(dialog);
}

void Desktop::closeAlerts() {
  for (GtkWidget* dialog : std::exchange(alerts_, {})) gtk_widget_destroy(dialog);
}

void Desktop::onAlertResponse(GtkWidget* dialog, gint, gpointer data) {
  // Taken out first: the answer goes with the dialog.
  auto [desktop, pressed] = std::move(Boxed<AlertAnswer>::of(data));
  std::erase(desktop->alerts_, dialog);
  gtk_widget_destroy(dialog);
  if (pressed) pressed();
}

void Desktop::showAbout() {
  gtk_show_about_dialog(main_, "program-name", info_.name.c_str(), "version", info_.version.c_str(),
                        "logo-icon-name", info_.iconName.c_str(), "comments", info_.comment.c_str(),
                        nullptr);
}

void Desktop::chooseFiles(const FileChooserOptions& options, FileListCompletion completion) {
  // GTK 3 chooses either files or folders in one dialog, so chooseDirectories goes unheard:
  // files always win.
  GtkFileChooserNative* chooser = gtk_file_chooser_native_new(
      options.title.c_str(), main_,
      options.save ? GTK_FILE_CHOOSER_ACTION_SAVE : GTK_FILE_CHOOSER_ACTION_OPEN,
      options.acceptLabel.c_str(), nullptr);
  gtk_native_dialog_set_modal(GTK_NATIVE_DIALOG(chooser), FALSE);
  if (options.save) {
    const char* downloads = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD);
    gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser),
                                        downloads ? downloads : g_get_home_dir());
    gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(chooser), options.suggestedName.c_str());
    gtk_file_chooser_set_do_overwrite_confirmation(GTK_FILE_CHOOSER(chooser), TRUE);
  } else {
    gtk_file_chooser_set_select_multiple(GTK_FILE_CHOOSER(chooser), options.multiple);
  }
  g_signal_connect_data(chooser, "response", G_CALLBACK(onChooserResponse),
                        Boxed<FileListCompletion>::box(std::move(completion)),
                        Boxed<FileListCompletion>::destroyClosure, GConnectFlags(0));
  gtk_native_dialog_show(GTK_NATIVE_DIALOG(chooser));
}

void Desktop::openInBrowser(const std::string& url) {
  auto context =
      adopt(G_APP_LAUNCH_CONTEXT(gdk_display_get_app_launch_context(gdk_display_get_default())));
  useUserEnvironment(context.get());
  g_app_info_launch_default_for_uri(url.c_str(), context.get(), nullptr);
}

void Desktop::quit() {
  closeAlerts();
  g_application_quit(G_APPLICATION(application_));
}

bool Desktop::hasVisibleWindow() const {
  if (!main_ || !gtk_widget_get_visible(GTK_WIDGET(main_))) return false;
  GdkWindow* surface = gtk_widget_get_window(GTK_WIDGET(main_));
  return !surface || !(gdk_window_get_state(surface) & GDK_WINDOW_STATE_ICONIFIED);
}

}  // namespace tessary::platform::gtk3
