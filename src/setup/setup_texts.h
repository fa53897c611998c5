// What the first run says to the user and to the setup page.
#pragma once

#include <cstdint>
#include <string>

namespace tessary {

inline constexpr char kMissingCodeTitle[] = "Brak dołączonego kodu";
inline constexpr char kMissingCodeText[] =
    "Ta wersja aplikacji nie zawiera dołączonego kodu. Użyj paczki zip i ./install.sh, albo "
    "zbuduj aplikację przez installer/build_app.sh.";

inline std::string wizardStartFailure(const std::string& error) {
  return "Nie udało się uruchomić kreatora: " + error;
}

inline std::string cannotExecute(const std::string& program, const std::string& reason) {
  return "nie można wykonać " + program + " (" + reason + ")";
}

inline std::string cannotEnterFolder(const std::string& folder, const std::string& reason) {
  return "nie można wejść do katalogu " + folder + " (" + reason + ")";
}

// Told in the setup page, which goes on waiting.
inline std::string dataFolderLocked(const std::string& folder) {
  return "Folder " + folder +
         " jest zablokowany przez inny program, więc kreator nie może ruszyć. Kreator zacznie "
         "sam, gdy folder zostanie zwolniony; jeśli to nie nastąpi, zamknij ten program albo "
         "wyloguj się i zaloguj ponownie.";
}

inline std::string wizardTakesTooLong(const std::string& setupLogFile) {
  return "Kreator działa już ponad dwie godziny, dłużej niż powinien. Zajrzyj do dziennika: " +
         setupLogFile +
         ". Jeśli nic się w nim nie zmienia, zakończ proces kreatora (bootstrap.sh), potem "
         "zamknij i otwórz aplikację.";
}

inline std::string wizardFailure(const std::string& setupLogFile) {
  return "Zajrzyj do dziennika: " + setupLogFile +
         ". Możesz też uruchomić kreator ponownie (zamknij i otwórz aplikację) albo użyć "
         "./install.sh z paczki.";
}

// After the head of a line too long for the setup page.
inline std::string cutLineNote(uint64_t length) {
  return " … (wiersz skrócony, bajtów: " + std::to_string(length) + "; cały jest w dzienniku)";
}

inline std::string copyFailureLine(const std::string& path, const std::string& reason) {
  return "Nie można zapisać " + path + ": " + reason + "\n";
}

inline std::string copyFailuresNotListed(size_t count) {
  return "Pozostałe wpisy, których nie można zapisać: " + std::to_string(count) + "\n";
}

// Why the shipped tree failed as a whole, where the system gives no words for it.
inline constexpr char kUnreadableTree[] = "nie można go odczytać w całości";

inline std::string copyFailure(const std::string& path, const std::string& reason, size_t count,
                               const std::string& setupLogFile) {
  return "Nie udało się zapisać kodu aplikacji: " + path + " (" + reason +
         "), błędów: " + std::to_string(count) +
         ". Zwolnij miejsce na dysku albo popraw uprawnienia, potem zamknij i otwórz aplikację. "
         "Zajrzyj do dziennika: " +
         setupLogFile + ".";
}

inline std::string wizardLeftNoApproot(const std::string& approotFile,
                                       const std::string& setupLogFile) {
  return "Kreator zakończył się bez zapisania pliku " + approotFile +
         ". Zajrzyj do dziennika: " + setupLogFile + ".";
}

}  // namespace tessary
