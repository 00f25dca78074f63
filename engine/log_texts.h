// The repair log's lines for one file, exactly as users and their scripts see them.
#pragma once

#include <string_view>

namespace logtext {

inline constexpr std::string_view OpeningFile = "Opening file..";
inline constexpr std::string_view OpeningFileFail = "Opening file Fail..";
inline constexpr std::string_view OpeningFileDone = "Opening file Done..";
inline constexpr std::string_view ExtractingContent = "Extracting file content..";
inline constexpr std::string_view ExtractingContentDone = "Extracting file content Done..";
inline constexpr std::string_view MakingNewFile = "Making new file..";
inline constexpr std::string_view MakingNewFileDone = "Making new file Done..";
inline constexpr std::string_view RepairedFileName = "Repaired file name : ";
inline constexpr std::string_view SavingRepairedFileFail = "Saving repaired file Fail..";
// Written when a file's repair stops on an unexpected error (out of memory, say).
inline constexpr std::string_view RepairingFileFail = "Repairing file Fail..";

} // namespace logtext
