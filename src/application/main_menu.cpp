// The menu bar: application, edit and window menus, each title and entry with a mnemonic.
#include "application/app_delegate.h"
#include "application/application_texts.h"

namespace tessary {

void AppDelegate::buildMainMenu() {
  using platform::EditCommand;
  auto edit = [this](EditCommand command) {
    return [this, command] { window_.webView().editCommand(command); };
  };
  auto onWindow = [this](void (platform::Window::*action)()) {
    return [this, action] { (window_.window().*action)(); };
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
           {kMenuAbout, 'O', {}, [this] { desktop_.showAbout(); }},
           {},
           {kMenuHide, 'S', ctrl('h'), onWindow(&platform::Window::hide)},
           {},
           {kMenuQuit, 'Z', ours('q'), [this] { quitAction(); }},
       }},
      {kMenuEdit,
       'E',
       {
           {kMenuUndo, 'C', ctrl('z'), edit(EditCommand::Undo)},
           {kMenuRedo, 'P', ctrl('z', shift), edit(EditCommand::Redo)},
           {},
           {kMenuCut, 'W', ctrl('x'), edit(EditCommand::Cut)},
           {kMenuCopy, 'K', ctrl('c'), edit(EditCommand::Copy)},
           {kMenuPaste, 'l', ctrl('v'), edit(EditCommand::Paste)},
           {kMenuSelectAll, 'Z', ctrl('a'), edit(EditCommand::SelectAll)},
       }},
      {kMenuWindow,
       'O',
       {
           {kMenuMinimize, 'M', ctrl('m'), onWindow(&platform::Window::minimize)},
           {kMenuClose, 'Z', ours('w'), [this] { window_.windowShouldClose(); }},
       }},
  };
  desktop_.installMenuBar(std::move(menus));
}

}  // namespace tessary
