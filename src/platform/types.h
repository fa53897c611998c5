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

// One entry of a menu; an entry with an empty label is a separator.
struct MenuEntry {
  std::string label;
  std::string accelerator;  // GTK accelerator syntax, e.g. "<Control>q"; empty for none
  std::function<void()> action;
};

struct Menu {
  std::string title;
  std::vector<MenuEntry> entries;
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
