// The menu bar: application, edit and window menus, Ctrl where a Mac has Command.
#include "application/app_delegate.h"

namespace tessary {

void AppDelegate::buildMainMenu() {
  using platform::EditCommand;
  auto edit = [this](EditCommand command) {
    return [this, command] {
      if (webView) webView->editCommand(command);
    };
  };
  auto onWindow = [this](void (platform::Window::*action)()) {
    return [this, action] {
      if (window) (window.get()->*action)();
    };
  };
  std::vector<platform::Menu> menus = {
      {"Halvaren Tessary",
       {
           {"O aplikacji Halvaren Tessary", "", [this] { desktop_.showAbout(); }},
           {"", "", nullptr},
           {"Schowaj Halvaren Tessary", "<Control>h", onWindow(&platform::Window::hide)},
           {"", "", nullptr},
           {"Zakończ Halvaren Tessary", "<Control>q", [this] { quitAction(); }},
       }},
      {"Edycja",
       {
           {"Cofnij", "<Control>z", edit(EditCommand::Undo)},
           {"Ponów", "<Shift><Control>z", edit(EditCommand::Redo)},
           {"", "", nullptr},
           {"Wytnij", "<Control>x", edit(EditCommand::Cut)},
           {"Kopiuj", "<Control>c", edit(EditCommand::Copy)},
           {"Wklej", "<Control>v", edit(EditCommand::Paste)},
           {"Zaznacz wszystko", "<Control>a", edit(EditCommand::SelectAll)},
       }},
      {"Okno",
       {
           {"Minimalizuj", "<Control>m", onWindow(&platform::Window::minimize)},
           {"Zamknij", "<Control>w",
            [this] {
              if (window) windowShouldClose();
            }},
       }},
  };
  desktop_.installMenuBar(std::move(menus));
}

}  // namespace tessary
