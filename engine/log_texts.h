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
// Written instead of the line above when the container could not be written completely.
inline constexpr std::string_view MakingNewFileFail = "Making new file Fail..";
// Written after "Making new file Done.." when salvage found nothing at all to pack.
inline constexpr std::string_view NoRecoverableContent = "No recoverable content found..";
inline constexpr std::string_view RepairedFileName = "Repaired file name : ";
inline constexpr std::string_view SavingRepairedFileFail = "Saving repaired file Fail..";
// Written when a file's repair stops on an unexpected error (out of memory, say).
inline constexpr std::string_view RepairingFileFail = "Repairing file Fail..";

} // namespace logtext
