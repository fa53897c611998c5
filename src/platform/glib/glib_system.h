// The GLib implementation of the system role.
#pragma once

#include <libsoup/soup.h>

#include "platform/glib/gobject_ptr.h"
#include "platform/system.h"

namespace tessary::platform::glib {

class System final : public platform::System {
 public:
  System();
  ~System() override;
  double now() override;
  void sleep(double seconds) override;
  void post(std::function<void()> work) override;
  void postAfter(double seconds, std::function<void()> work) override;
  std::unique_ptr<Timer> startRepeating(double interval, std::function<void()> tick) override;
  void probe(const std::string& url, double timeout,
             std::function<void(std::optional<int>)> completion) override;
  void runInBackground(std::function<void()> work, std::function<void()> done) override;
  std::vector<unsigned> loopbackListenerOwners(int port) override;
  unsigned currentUser() override;
  SpawnResult spawn(SpawnOptions options) override;
  std::string homeDirectory() override;

 private:
  GObjectPtr<SoupSession> session_;
};

}  // namespace tessary::platform::glib
