// Plain values that cross the platform boundary. No toolkit type ever does.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tessary::platform {

struct Color {
  double red;
  double green;
  double blue;
  double alpha;
};

// A key pressed with modifiers held; none when key is 0.
struct Shortcut {
  enum Modifier : unsigned { kControl = 1, kShift = 2 };
  char key = 0;  // a lower-case letter
  unsigned modifiers = 0;
  // The program's own: acted on before the page sees the key. Any other shortcut acts only
  // where the page leaves the key (no handler of its took it, no editing command of its ran).
  bool beforePage = false;
};

// One entry of a menu; an entry with an empty label is a separator. The mnemonic is a letter
// of the label, the first of its kind, that chooses the entry from the keyboard (none when 0).
struct MenuEntry {
  std::string label;
  char mnemonic = 0;
  Shortcut shortcut;
  std::function<void()> action;
};

struct Menu {
  std::string title;
  char mnemonic = 0;
  std::vector<MenuEntry> entries;
};

// Room on a screen, in the toolkit's units (logical pixels).
struct Size {
  int width = 0;
  int height = 0;
};

// An address as the web engine wrote it, with the two parts the navigation rule reads.
struct Address {
  std::string uri;
  std::optional<std::string> scheme;
  std::optional<std::string> host;
};

using FileList = std::optional<std::vector<std::string>>;
using FileListCompletion = std::function<void(FileList)>;

struct FileRequest {
  bool allowsDirectories = false;
  bool allowsMultipleSelection = false;
};

}  // namespace tessary::platform
