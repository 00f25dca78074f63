// What one file's repair found and made of it, beside the log: each entry salvaged and how
// well, the package parts that were mended or rebuilt, and what was lost.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// How completely one entry came back. Higher is better.
enum class EntryState
{
    Empty,    // nothing usable came back
    Partial,  // the bytes up to the damage
    Damaged,  // all of it, but its CRC-32 says some bytes are wrong
    Complete, // all of it as far as can be told, with no checksum to prove it
    Intact,   // all of it, its CRC-32 and size checked
};

struct EntryReport
{
    std::string name;
    std::int64_t offset = 0; // of its local header in the input
    std::uint16_t method = 0;
    EntryState state = EntryState::Empty;
    std::int64_t size = 0; // bytes written to the workspace
};

struct RepairReport
{
    std::vector<EntryReport> entries;
    std::vector<std::string> repairedParts; // XML parts cut back to what parses
    std::vector<std::string> droppedParts;  // XML parts with nothing usable
    std::vector<std::string> lostParts;     // listed by the manifest, not found
    std::size_t droppedReferences = 0;      // references to lost files removed
    bool mimetypeRestored = false;
    bool manifestRebuilt = false;
    bool stylesRebuilt = false;     // a stand-in for a styles part lost or dropped
    bool contentRebuilt = false;    // a content part written to show the pictures of a lost one
    std::size_t picturesPlaced = 0; // pictures whose frames were lost, given pages of their own
};

[[nodiscard]] const char* EntryStateName(EntryState state);
