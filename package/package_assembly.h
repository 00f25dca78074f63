// Package assembly: packs every file of the workspace tree into a new document container.
#pragma once

#include <string>

// Packs the files below workspaceRoot (which ends with a separator) into a new container at
// containerPath. Returns true in every case; the container exists afterwards only when it
// could be made.
bool AssembleDocumentPackage(const std::string& workspaceRoot, const std::string& containerPath);
