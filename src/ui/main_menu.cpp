// The menu bar: application, edit and window menus, each title and entry with a mnemonic.
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
  // Ctrl where a Mac has Command.
  auto ctrl = [](char key, unsigned also = 0) {
    return platform::Shortcut{key, platform::Shortcut::kControl | also};
  };
  // As a browser keeps Ctrl+W from pages: no page can keep the user from quitting or closing.
  auto ours = [](char key) {
    return platform::Shortcut{key, platform::Shortcut::kControl, /*beforePage=*/true};
  };
  const unsigned shift = platform::Shortcut::kShift;
  std::vector<platform::Menu> menus = {
      {kProductName,
       'H',
       {
           {"O aplikacji Halvaren Tessary", 'O', {}, [this] { desktop_.showAbout(); }},
           {},
           {"Schowaj Halvaren Tessary", 'S', ctrl('h'), onWindow(&platform::Window::hide)},
           {},
           {"Zakończ Halvaren Tessary", 'Z', ours('q'), [this] { quitAction(); }},
       }},
      {"Edycja",
       'E',
       {
           {"Cofnij", 'C', ctrl('z'), edit(EditCommand::Undo)},
           {"Ponów", 'P', ctrl('z', shift), edit(EditCommand::Redo)},
           {},
           {"Wytnij", 'W', ctrl('x'), edit(EditCommand::Cut)},
           {"Kopiuj", 'K', ctrl('c'), edit(EditCommand::Copy)},
           {"Wklej", 'l', ctrl('v'), edit(EditCommand::Paste)},
           {"Zaznacz wszystko", 'Z', ctrl('a'), edit(EditCommand::SelectAll)},
       }},
      {"Okno",
       'O',
       {
           {"Minimalizuj", 'M', ctrl('m'), onWindow(&platform::Window::minimize)},
           {"Zamknij", 'Z', ours('w'),
            [this] {
              if (window) windowShouldClose();
            }},
       }},
  };
  desktop_.installMenuBar(std::move(menus));
}

}  // namespace tessary
