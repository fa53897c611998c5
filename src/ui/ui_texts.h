// What the window and the page's requests say to the user.
#pragma once

namespace tessary {

// The page's file inputs.
inline constexpr char kOpenPanelTitle[] = "Wybierz nagranie sesji";
inline constexpr char kOpenPanelPrompt[] = "Wybierz";
// The page's downloads.
inline constexpr char kSavePanelTitle[] = "Zapisz plik";
inline constexpr char kSavePanelPrompt[] = "Zapisz";

inline constexpr char kPageGaveUpTitle[] = "Strona przestała działać";
inline constexpr char kPageGaveUpText[] =
    "Proces wyświetlający stronę zakończył się trzy razy w ciągu minuty, więc strona nie jest "
    "już wczytywana ponownie.\n\nAby spróbować jeszcze raz, wybierz „Otwórz Tessary” w menu "
    "ikony albo uruchom aplikację ponownie.";

}  // namespace tessary
