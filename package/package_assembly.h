// Package assembly: packs every file of the workspace tree into a new document container, the
// files of each directory in case-insensitive name order, so that the same workspace always
// gives the same container. Links in the workspace are never followed nor packed.
#pragma once

#include "zip/archive_handle.h"

#include <string>

// Packs the files below workspaceRoot (which ends with a separator) into a new container at
// containerPath. Returns true in every case. The container exists afterwards when it could be
// created and written completely; it then lists every file added before the walk ended (the
// walk ends at the first file that cannot be opened). A write failure leaves no container.
bool AssembleDocumentPackage(const std::string& workspaceRoot, const std::string& containerPath);

// Adds every file below currentDir to the archive, depth first, each under its path relative
// to root (which currentDir starts with). Returns true when every directory was listed to its
// end and every file added; false at the first failure, which ends the whole walk.
bool AddDirectoryTree(zip::ArchiveHandle* handle, const std::string& currentDir,
                      const std::string& root);

// True when the tree below workspaceRoot holds at least one file that packing would add.
[[nodiscard]] bool HasFilesToPack(const std::string& workspaceRoot);
