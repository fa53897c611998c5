// The desktop's services on GTK 3: the menu bar, the main window, the status item, alerts, the
// about dialog, the file chooser, the default browser and quitting.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <vector>

#include "platform/application.h"
#include "platform/desktop.h"
#include "platform/glib/gobject_ptr.h"
#include "platform/gtk3/menu.h"
#include "platform/webkit/sandbox.h"

namespace tessary::platform::gtk3 {

using namespace glib;

class Desktop final : public platform::Desktop {
 public:
  // iconThemeDir: a folder holding hicolor icons of the program's own, or nothing.
  Desktop(GtkApplication* application, const ApplicationInfo& info,
          std::optional<std::string> iconThemeDir)
      : application_(application),
        info_(info),
        iconThemeDir_(std::move(iconThemeDir)),
        sandbox_(info.command) {}
  ~Desktop() override { closeAlerts(); }
  Desktop(const Desktop&) = delete;
  Desktop& operator=(const Desktop&) = delete;

  void installMenuBar(std::vector<Menu> menus) override { menus_ = std::move(menus); }
  std::optional<Size> workArea() override;
  std::unique_ptr<Window> createWindow(const WindowOptions& options) override;
  std::unique_ptr<StatusItem> createStatusItem(const StatusItemOptions& options) override;
  void alert(const std::string& title, const std::string& text, const std::string& button,
             std::function<void()> pressed) override;
  void showAbout() override;
  void chooseFiles(const FileChooserOptions& options, FileListCompletion completion) override;
  void openInBrowser(const std::string& url) override;
  void quit() override;

  // As soon as the program knows it will run: the engine's sandbox is tried meanwhile.
  void starting() { sandbox_.start(); }
  // When the application starts, before its window: the program's icons are found.
  void startup();
  // A minimised window does not count as visible: re-opening brings it back.
  bool hasVisibleWindow() const;

 private:
  GtkApplication* application_;
  const ApplicationInfo& info_;
  const std::optional<std::string> iconThemeDir_;
  webkit::EngineSandbox sandbox_;
  std::vector<Menu> menus_;
  GObjectPtr<GtkAccelGroup> accelerators_;
  struct AlertAnswer {
    Desktop* desktop;
    std::function<void()> pressed;
  };
  static void onAlertResponse(GtkWidget* dialog, gint, gpointer data);
  void closeAlerts();

  GtkWindow* main_ = nullptr;
  std::vector<GtkWidget*> alerts_;  // open, each destroyed by its answer or by the quit
};

}  // namespace tessary::platform::gtk3
