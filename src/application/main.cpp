// Process entry: compute the locations, then hand the delegate to the desktop's event loop.
#include "application/app_delegate.h"
#include "application/application_texts.h"
#include "base/locations.h"
#include "platform/application.h"

int main(int argc, char** argv) {
  using namespace tessary;
  const platform::ApplicationInfo info{
      kApplicationId,
      kProgramName,
      kProductName,
      TESSARY_VERSION,
      "Panel Halvaren Tessary w oknie na pulpicie: znajduje albo instaluje backend, uruchamia "
      "go, czeka na panel i pokazuje go.",
      "Wypisuje wersję programu i kończy działanie",
      "Panel Halvaren Tessary na pulpicie",
      kProgramName};
  const Locations locations =
      computeLocations(platform::userDataDirectory(), platform::resourceDirectory(info));
  return platform::runApplication(
      info, argc, argv, [&locations](platform::Desktop& desktop, platform::System& system) {
        return std::make_unique<AppDelegate>(desktop, system, locations);
      });
}
