// What the backend's supervision says to the user: each alert's title and text.
#pragma once

#include <string>

namespace tessary {

inline constexpr char kConfigAlertTitle[] = "Nieprawidłowa konfiguracja Halvaren Tessary";
inline constexpr char kLaunchAlertTitle[] = "Nie udało się uruchomić backendu";
inline constexpr char kBackendGaveUpTitle[] = "Backend przestał działać";
inline constexpr char kPollAlertTitle[] = "Backend nie wystartował";

inline std::string configAlertText(const std::string& approotFile, const std::string& codeRoot) {
  return "Plik " + approotFile + " wskazuje katalog, który nie istnieje:\n" + codeRoot +
         "\n\nUruchom ponownie ./install.sh z katalogu paczki Halvaren Tessary.";
}

inline std::string launchAlertText(const std::string& error, const std::string& home) {
  return "Błąd: " + error + "\n\nSprawdź, czy `" + home +
         "/.local/bin/uv` istnieje (instaluje go ./install.sh).";
}

inline std::string backendGaveUpText(const std::string& shellLogFile) {
  return "Backend zakończył działanie cztery razy w ciągu pięciu minut, więc nie jest już "
         "uruchamiany ponownie.\n\nZajrzyj do logu:\n" +
         shellLogFile +
         "\n\nAby spróbować jeszcze raz, wybierz „Otwórz Tessary” w menu ikony albo uruchom "
         "aplikację ponownie.";
}

inline std::string pollAlertText(const std::string& shellLogFile) {
  return "Panel nie odpowiedział na http://127.0.0.1:8477 w ciągu 60 sekund.\n\n"
         "Zajrzyj do logu:\n" +
         shellLogFile + "\n\nalbo uruchom ręcznie w Terminalu: uv run tessary serve";
}

}  // namespace tessary
