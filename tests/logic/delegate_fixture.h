// A delegate wired to the fake platform, in a temporary data home and resource folder.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>

#include "application/app_delegate.h"
#include "logic/fake_platform.h"
#include "support/temp_dir.h"

namespace tessary::testing {

class DelegateTest : public ::testing::Test {
 protected:
  explicit DelegateTest(bool withResources = true)
      : locations(computeLocations(dir / "data",
                                   withResources ? std::optional(dir / "res") : std::nullopt)) {
    system.home = dir / "home";
    std::filesystem::create_directories(system.home);
  }

  AppDelegate& delegate() {
    if (!delegate_) delegate_ = std::make_unique<AppDelegate>(desktop, system, locations);
    return *delegate_;
  }

  // Launch and answer the launch probe.
  void launch(std::optional<int> status) {
    delegate().applicationDidFinishLaunching();
    system.answerProbe(status);
  }

  // A code root whose backend command exists, named by the approot file.
  std::string installCode(const std::string& name = "code") {
    const std::string root = dir / name;
    writeFile(root + "/.venv/bin/tessary", "#!/bin/sh\n");
    writeFile(locations.approotFile, root + "\n");
    return root;
  }

  void shipBundle(bool withPage = true) {
    writeFile(*locations.bundledRoot + "/installer/bootstrap.sh", "echo hi\n");
    writeFile(*locations.bundledRoot + "/install.sh", "");
    if (withPage) writeFile(*locations.bundledSetupHTML, "<html></html>");
  }

  FakeWebView& view() { return desktop.window->view; }
  FakeSpawn& lastSpawn() { return system.spawns.back(); }

  TempDir dir;
  FakeDesktop desktop;
  FakeSystem system;
  Locations locations;

 private:
  std::unique_ptr<AppDelegate> delegate_;
};

}  // namespace tessary::testing
