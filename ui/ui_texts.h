// Every fixed text the desktop program shows, exactly as users have always seen it: several
// keep a trailing blank or a blank before the question mark, and tests compare them byte for byte.
#pragma once

#include <QLatin1String>

namespace uitext {

using T = QLatin1String;

inline constexpr T AppName{"Tarvel For Draw"};
inline constexpr T Caption{"Tarvel For Draw Ver 8.12.01"};

// Settings store (one organisation and application per user).
inline constexpr T SettingsOrganisation{"Tarvel For Draw1"};
inline constexpr T SettingsApplication{"Tarvel For Draw"};
inline constexpr T SettingApplicationLook{"ApplicationLook"};

// Messages.
inline constexpr T AnotherInstance{"Another Instance of Tarvel For Draw is running "};
inline constexpr T HelpMissing{"Tarvel For Draw.chm file not exist, please reinstall software "};
inline constexpr T StopFirst{"Please stop current process"};
inline constexpr T ConfirmClose{"Do you want to close the software ?"};
inline constexpr T SelectFilesFirst{"Please select files using Select files button"};

// Files beside the program.
inline constexpr T HelpFileName{"Tarvel For Draw.chm"};
inline constexpr T HelpHtmlFileName{"Tarvel For Draw.html"};
inline constexpr T ProductPageFileName{"Tarvel For Draw Home.html"};

// Menus.
inline constexpr T MenuFile{"&File"};
inline constexpr T MenuView{"&View"};
inline constexpr T MenuHelp{"&Help"};
inline constexpr T MenuToolbars{"&Toolbars and Docking Windows"};
inline constexpr T MenuLook{"&Application Look"};
inline constexpr T MenuOffice2007{"Office 200&7"};

// Menu items and their status-bar prompts and tooltips. The File labels name the keys the
// commands are bound to.
inline constexpr T LabelSelectFiles{"&Select Files\tCtrl+O"};
inline constexpr T LabelRemoveFiles{"Rem&ove Files\tCtrl+D"};
inline constexpr T LabelRepair{"&Repair\tCtrl+R"};
inline constexpr T LabelExit{"E&xit"};
inline constexpr T LabelStatusBar{"&Status Bar"};
inline constexpr T LabelSoftwareHelp{"Software Help"};
inline constexpr T LabelHomepage{"Visit Software Homepage"};
inline constexpr T LabelAbout{"&About Tarvel For Draw..."};
inline constexpr T LabelWindows2000{"Windows &2000"};
inline constexpr T LabelOfficeXp{"Office &XP"};
inline constexpr T LabelWindowsXp{"&Windows XP"};
inline constexpr T LabelOffice2003{"Office 200&3"};
inline constexpr T LabelVs2005{"Visual Studio.NET 200&5"};
inline constexpr T LabelBlue{"&Blue Style"};
inline constexpr T LabelBlack{"B&lack Style"};
inline constexpr T LabelSilver{"&Silver Style"};
inline constexpr T LabelAqua{"&Aqua Style"};

inline constexpr T PromptSelectFiles{"Select file(s) to repair"};
inline constexpr T TipSelectFiles{"Select file(s)"};
inline constexpr T PromptRemoveFiles{" Remove selected file(s) from the list"};
inline constexpr T TipRemoveFiles{"Remove File(s)"};
inline constexpr T PromptRepair{"Repair selected file(s)"};
inline constexpr T TipRepair{"Repair files"};
inline constexpr T PromptAbout{
    " View Program information: version, support details, and copyright"};
inline constexpr T TipAbout{"About"};
inline constexpr T PromptExit{"Quit the application; prompts to save documents"};
inline constexpr T TipExit{"Exit"};
inline constexpr T PromptSoftwareHelp{"Display Software help"};
inline constexpr T PromptStatusBar{"Show or hide the status bar"};
inline constexpr T TipStatusBar{"Toggle Status Bar"};

// Bars.
inline constexpr T Ready{"Ready"};
inline constexpr T ToolbarStandard{"Standard"};
inline constexpr T Customize{"Customize..."};
inline constexpr T IndicatorCaps{"CAP"};
inline constexpr T IndicatorNum{"NUM"};
inline constexpr T IndicatorScroll{"SCRL"};

// About box.
inline constexpr T AboutCaption{"About Tarvel For Draw"};
inline constexpr T AboutFirstLine{"Tarvel For Draw ver 8.12.01 "};
inline constexpr T AboutMoreLines{"Repairs damaged drawings (.odg)\n"
                                  "Made by the Tarvel For Draw developers\n"
                                  "\n"
                                  "Click here for the product page:\n"
                                  "how to use it and where to report problems"};
inline constexpr T Ok{"OK"};

// Completion dialog.
inline constexpr T CompletedCaption{"Tarvel For Draw"};
inline constexpr T Completed{"The repairing process was completed successfully "};
inline constexpr T Placeholder{"Static"};
inline constexpr T Ellipsis{"..."};

// The wizard view. The run text and the completion text come with the batch (batch_texts.h).
inline constexpr T FileNameColumn{"File Name"};
inline constexpr T ButtonNext{"Next"};
inline constexpr T ButtonBack{"Back"};
inline constexpr T ButtonStop{"Stop"};
inline constexpr T ButtonExit{"Exit"};
inline constexpr T ButtonSelectFiles{"Select Files"};
inline constexpr T ButtonRemoveFiles{"Remove Files"};
// The instruction text of the selection page starts with a line break; the runs made bold are
// " Select Files" and " Next", each with the blank before it, as [first, last] positions.
inline constexpr T Instruction{"\nClick Select Files to select and list .odg file(s) for "
                               "repairing.\nClick Next to repair the listed file(s)."};
inline constexpr int SelectFilesBoldFirst = 6, SelectFilesBoldLast = 18;
inline constexpr int NextBoldFirst = 72, NextBoldLast = 76;
// Files done of the run, on the progress bar.
inline constexpr T ProgressFormat{"%v of %m file(s) done"};

// The file list.
inline constexpr T SelectFilesTitle{"Select file(s) to repair"};
inline constexpr T DrawFileFilter{"Draw File(*.odg)"};
inline constexpr T DrawFileMark{".ODG"}; // paths without it (upper-cased) are dropped
inline constexpr T AlreadyListed{" already exist in the list"};
inline constexpr T NetworkWarning{"You are selecting the file from network. \r\nIt's advisable "
                                  "to copy the file to local computer for better saving results "};
inline constexpr T NothingToRemove{"Please select the file that you\twant to remove from the list"};

// Destination folder and run control.
inline constexpr T SelectFolderTitle{"Select location to save repaired file(s)"};
inline constexpr T UnsuitableFolder{"Please appropriate path for saving repaired file(s)"};
inline constexpr T ConfirmStop{"Are you sure you want to stop the saving process ?"};
// Instead of the completion dialog when not every listed file was saved: %1 of %2 failed.
inline constexpr T NotAllRepaired{"%1 of %2 file(s) could not be repaired. The repair log shows "
                                  "what became of each file."};

} // namespace uitext
