// Command ids of the desktop program. The numbers are the ones the program has always used, so
// that stored toolbar layouts keep naming the same commands.
#pragma once

namespace cmd {

inline constexpr int Separator = 0; // a separator on a toolbar, never a command

inline constexpr int FileSelect = 57600;
inline constexpr int FileRemove = 57601;
inline constexpr int FileRepair = 57603;
inline constexpr int FilePrint = 57607;
inline constexpr int AppAbout = 57664;
inline constexpr int AppExit = 57665;
inline constexpr int ViewStatusBar = 59393;
inline constexpr int ViewCustomize = 126;
inline constexpr int HelpSoftware = 32771;
inline constexpr int HelpHomepage = 32772;

// The nine application looks, in menu order.
inline constexpr int LookWindows2000 = 210;
inline constexpr int LookOfficeXp = 211;
inline constexpr int LookWindowsXp = 212;
inline constexpr int LookOffice2003 = 213;
inline constexpr int LookVs2005 = 214;
inline constexpr int LookBlue = 215;
inline constexpr int LookBlack = 216;
inline constexpr int LookSilver = 217;
inline constexpr int LookAqua = 218;
inline constexpr int LookFirst = LookWindows2000;
inline constexpr int LookLast = LookAqua;
inline constexpr int LookDefault = LookBlue;

// The "Standard" toolbar and the ten toolbars a user may create.
inline constexpr int StandardToolbar = 128;
inline constexpr int UserToolbarFirst = 59432;
inline constexpr int UserToolbarLast = 59441;

[[nodiscard]] constexpr bool isLook(int id)
{
    return id >= LookFirst && id <= LookLast;
}
[[nodiscard]] constexpr bool isUserToolbar(int id)
{
    return id >= UserToolbarFirst && id <= UserToolbarLast;
}

} // namespace cmd
