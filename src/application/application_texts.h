// The program's names and what its menus say.
#pragma once

namespace tessary {

inline constexpr char kApplicationId[] = "org.halvaren.Tessary";
// Its name as users read it: the window's title, the About dialog's, the first menu's.
inline constexpr char kProductName[] = "Halvaren Tessary";

// The menu bar.
inline constexpr char kMenuAbout[] = "O aplikacji Halvaren Tessary";
inline constexpr char kMenuHide[] = "Schowaj Halvaren Tessary";
inline constexpr char kMenuQuit[] = "Zakończ Halvaren Tessary";
inline constexpr char kMenuEdit[] = "Edycja";
inline constexpr char kMenuUndo[] = "Cofnij";
inline constexpr char kMenuRedo[] = "Ponów";
inline constexpr char kMenuCut[] = "Wytnij";
inline constexpr char kMenuCopy[] = "Kopiuj";
inline constexpr char kMenuPaste[] = "Wklej";
inline constexpr char kMenuSelectAll[] = "Zaznacz wszystko";
inline constexpr char kMenuWindow[] = "Okno";
inline constexpr char kMenuMinimize[] = "Minimalizuj";
inline constexpr char kMenuClose[] = "Zamknij";

// The status item's menu.
inline constexpr char kStatusShow[] = "Otwórz Tessary";
inline constexpr char kStatusBrowser[] = "Panel w przeglądarce";
inline constexpr char kStatusQuit[] = "Zakończ";

// Every alert's one button.
inline constexpr char kAlertButton[] = "OK";

}  // namespace tessary
