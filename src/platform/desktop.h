// The application and its windows: menu bar, main window, status item, alerts,
// file chooser, default browser and quitting.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/types.h"
#include "platform/web_view.h"

namespace tessary::platform {

struct WindowOptions {
  std::string title;
  int width = 0;
  int height = 0;
  int minWidth = 0;
  int minHeight = 0;
  Color background{};
};

class Window {
 public:
  virtual ~Window() = default;
  // Shows the window, raises it and gives it the focus.
  virtual void present() = 0;
  virtual void hide() = 0;
  virtual void minimize() = 0;
  // Asked when the user closes the window; returning false keeps it alive.
  virtual void setCloseHandler(std::function<bool()> shouldClose) = 0;
  virtual WebView& webView() = 0;
};

class StatusItem {
 public:
  virtual ~StatusItem() = default;
};

struct StatusItemOptions {
  std::string id;  // the item's name to the status area
  std::string iconName;
  std::string title;  // tool tip and accessible name
  std::vector<MenuEntry> entries;
};

struct FileChooserOptions {
  std::string title;
  std::string acceptLabel;
  bool chooseDirectories = false;
  bool multiple = false;
  // A save dialog for one new file, opened in the user's download folder and asking before
  // it replaces a file.
  bool save = false;
  std::string suggestedName;
};

class Desktop {
 public:
  virtual ~Desktop() = default;
  // Remembered and attached to the main window once it exists.
  virtual void installMenuBar(std::vector<Menu> menus) = 0;
  // The room the main window may take on the screen it opens on: a hint, where the desktop
  // tells it (GTK 4 on Wayland, for one, tells nothing; the caller then keeps its own sizes).
  virtual std::optional<Size> workArea() = 0;
  // Creates the main window with its web view and shows it: the area of the page painted in
  // the background colour, the rest in the theme's, the page holding the focus. Centred on the
  // screen where the desktop lets a program place its windows; a desktop that places them
  // itself (a Wayland compositor) may put it anywhere.
  virtual std::unique_ptr<Window> createWindow(const WindowOptions& options) = 0;
  virtual std::unique_ptr<StatusItem> createStatusItem(const StatusItemOptions& options) = 0;
  // A warning with one button, modal to the main window (a sheet, where the desktop has them),
  // shown without waiting for it: alert returns at once, as a toolkit without nested loops
  // must. pressed, when given, runs on the main loop once the button is pressed. A quit
  // answers every alert still open, without running pressed.
  virtual void alert(const std::string& title, const std::string& text, const std::string& button,
                     std::function<void()> pressed) = 0;
  virtual void showAbout() = 0;
  // Non-modal; the completion runs once, on the main loop.
  virtual void chooseFiles(const FileChooserOptions& options, FileListCompletion completion) = 0;
  virtual void openInBrowser(const std::string& url) = 0;
  // Ends the event loop; the application's will-terminate answer runs on the way out.
  virtual void quit() = 0;
};

}  // namespace tessary::platform
