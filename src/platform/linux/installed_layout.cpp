// The program's resources and icons found from the running executable, through /proc.
#include "platform/linux/installed_layout.h"

#include <limits.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace tessary::platform {

namespace {

std::optional<std::string> executablePath() {
  char buffer[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return std::nullopt;
  return std::string(buffer, static_cast<size_t>(n));
}

}  // namespace

std::optional<std::string> resourceDirectory(const ApplicationInfo& info) {
  namespace fs = std::filesystem;
  const auto executable = executablePath();
  if (!executable) return std::nullopt;
  const fs::path resources =
      fs::path(*executable).parent_path().parent_path() / "share" / info.command;
  std::error_code error;
  if (!fs::is_directory(resources, error)) return std::nullopt;
  return resources.string();
}

std::optional<std::string> iconThemeDirectory(const ApplicationInfo& info) {
  const auto resources = resourceDirectory(info);
  if (!resources) return std::nullopt;
  return std::filesystem::path(*resources).parent_path().string() + "/icons";
}

}  // namespace tessary::platform
