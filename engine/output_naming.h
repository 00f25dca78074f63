// Names the repaired copy so that nothing in the destination folder is ever replaced.
#pragma once

#include <string>

// Returns candidate when nothing of that path exists (a file, a folder or a link), otherwise the
// first free numbered variant. Only the file name is numbered, in capitals: every ".ODG" in it
// becomes "(n).ODG"; a name without ".ODG" gets "(n)" before its last extension, or at its end.
// The folder part is kept as given. Creates nothing.
[[nodiscard]] std::string MakeUniqueOutputName(std::string candidate);
