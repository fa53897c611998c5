// A status area as a desktop provides it: a StatusNotifierWatcher on the session bus that
// programs register their items with, and the dbusmenu calls a status area makes.
#pragma once

#include <gio/gio.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tessary::testing {

struct StatusItemAddress {
  std::string service;
  std::string path;
};

struct MenuEntryInfo {
  int id = 0;
  std::string label;
  std::string type;  // "separator" for separators
  bool hasShortcut = false;
};

class StatusWatcher {
 public:
  StatusWatcher();
  ~StatusWatcher();
  StatusWatcher(const StatusWatcher&) = delete;
  StatusWatcher& operator=(const StatusWatcher&) = delete;

  bool owned() const;
  std::optional<StatusItemAddress> waitForItem(double timeout);

 private:
  struct State;
  std::shared_ptr<State> state_;
};

// Calls of a status area towards a registered item, on a connection of their own.
class StatusArea {
 public:
  explicit StatusArea(StatusItemAddress item);
  ~StatusArea();
  std::string property(const std::string& name);
  std::vector<MenuEntryInfo> menu();
  void click(int id);

 private:
  StatusItemAddress item_;
  GDBusConnection* bus_ = nullptr;
  std::string menuPath_;
};

}  // namespace tessary::testing
