// Texts of a batch run: the log lines around each file, the information panel, the end message.
#pragma once

#include <string_view>

namespace batchtext {

inline constexpr std::string_view InfoRunning =
    "Please wait\u2026 repairing of file(s) is in progress";
inline constexpr std::string_view LogStarted = "Repairing process started";
inline constexpr std::string_view Separator =
    "==================================================================";
// "Processing File %d of %d " keeps the blank before its line end.
inline constexpr std::string_view CounterFormat = "Processing File %zu of %zu ";
inline constexpr std::string_view FileNamePrefix = "File Name : ";
inline constexpr std::string_view InfoCompleted =
    "File repair and saving process completed successfully. Click Back to go back to main window "
    "for repairing more file(s) or click Exit to quit the application.";
// The words made bold in InfoCompleted, as [first, last] character positions counted from 0.
inline constexpr std::size_t BackWordFirst = 61, BackWordLast = 64;
inline constexpr std::size_t ExitWordFirst = 128, ExitWordLast = 131;
inline constexpr std::string_view AbortedByUser = "Saving abort by user";

} // namespace batchtext
