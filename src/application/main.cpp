// Process entry: compute the locations, then hand the delegate to the desktop's event loop.
#include "application/app_delegate.h"
#include "application/locations.h"
#include "platform/application.h"

int main() {
  using namespace tessary;
  auto executable = platform::executablePath();
  const Locations locations = computeLocations(
      platform::userDataDirectory(), executable ? resourceDirectoryFor(*executable) : std::nullopt);
  return platform::runApplication(
      kApplicationId, [&locations](platform::Desktop& desktop, platform::System& system) {
        return std::make_unique<AppDelegate>(desktop, system, locations);
      });
}
