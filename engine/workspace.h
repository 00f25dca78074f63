// The temporary workspace of a repair: the salvaged tree "TempDirChily/" and the two single
// files "temp12temp.zip" and "temp12swe.odg". They live in a private folder (mode 0700) that
// this process makes under the temp folder on first use and removes when it exits, so other
// users cannot plant links there and two runs never share a workspace.
#pragma once

#include <string>
#include <string_view>

inline constexpr std::string_view WorkspaceTreeName = "TempDirChily";
inline constexpr std::string_view TempArchiveName = "temp12temp.zip";
inline constexpr std::string_view PackedContainerName = "temp12swe.odg";

// The user's temp folder ($TMPDIR, else the system's), always with a trailing separator.
[[nodiscard]] std::string GetTempFolder();

// This process's private folder under the temp folder, with a trailing separator: the folder
// every workspace name is joined to. Empty when it cannot be made.
[[nodiscard]] std::string WorkspaceFolder();

// WorkspaceFolder() + "TempDirChily/".
[[nodiscard]] std::string WorkspaceTreePath();

// Deletes the tree "TempDirChily/", then "temp12swe.odg", then "temp12temp.zip"; a missing item
// is no error and nothing is reported.
void ResetWorkspace();

class CDirectoryManager
{
public:
    // Creates every missing directory along path, the last component included. False, creating
    // nothing, for an empty path or one without a separator; true otherwise, whatever the single
    // creations achieved.
    bool CreateAllDirectories(const std::string& path);

    // Deletes dir with everything below it and returns whether dir itself was removed. A link
    // found in the tree is removed as a link: nothing outside the tree is ever touched.
    bool DeleteDirectoryTree(const std::string& dir);
};
