// The content part rewrite: writes a fresh, writable content part from the working copy that
// the pipeline made of the salvaged one. The bytes are copied unchanged.
#pragma once

#include "platform/file64.h"

#include <cstdint>
#include <string>

// Reads source and writes its bytes to a newly created target. Does nothing when the source
// cannot be opened; stops at the first read or write error, leaving what was written.
void RepairContentPart(const std::string& sourcePath, const std::string& targetPath);

// Appends count bytes of source, from offset on, at target's file pointer through one
// 65536-byte buffer. Returns false on a read or write error, or when the source ends early.
bool CopyByteRange(platform::CFile64& source, platform::CFile64& target, std::int64_t offset,
                   std::int64_t count);
