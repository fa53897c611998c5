// The program-wide addresses and file locations, computed once at start-up.
#pragma once

#include <optional>
#include <string>

namespace tessary {

inline constexpr char kPanelURL[] = "http://127.0.0.1:8477/";
inline constexpr int kPanelPort = 8477;
// The program's name as a command, its resource folder, its icon and its status item.
inline constexpr char kProgramName[] = "halvaren-tessary";

struct Locations {
  std::string appSupportDir;
  std::string approotFile;
  std::string shellLogFile;
  std::string setupLogFile;
  std::string installedRoot;
  // What was installed into installedRoot from the shipped tree: its files, and its stamp once
  // the setup wizard that followed succeeded.
  std::string installedListFile;
  std::string installedStampFile;
  // Held by the keeper of a running setup wizard; its exit status once it ended.
  std::string wizardStatusFile;
  // The program's shipped resources; absent when the program carries none.
  std::optional<std::string> resourceDir;
  std::optional<std::string> bundledRoot;
  std::optional<std::string> bundledUVDir;
  std::optional<std::string> bundledSetupHTML;
  // The shipped tree's identity, computed by the build.
  std::optional<std::string> bundledStamp;
};

// Nothing is created on disk.
Locations computeLocations(const std::string& dataHome,
                           const std::optional<std::string>& resourceDir);

}  // namespace tessary
