// The handle shared by the archive reader (kind 1) and the archive writer (kind 2). Each side
// derives its own handle from this one in its .cpp file; an operation given a handle of the
// other kind answers ArchiveWrongHandle.
#pragma once

#include <cstdint>
#include <memory>

namespace zip {

inline constexpr std::uint32_t ReadingHandleKind = 1;
inline constexpr std::uint32_t WritingHandleKind = 2;

class ArchiveHandle
{
public:
    virtual ~ArchiveHandle() = default;
    ArchiveHandle(const ArchiveHandle&) = delete;
    ArchiveHandle& operator=(const ArchiveHandle&) = delete;

    [[nodiscard]] std::uint32_t kind() const { return m_kind; }

protected:
    explicit ArchiveHandle(std::uint32_t kind) : m_kind(kind) {}

private:
    std::uint32_t m_kind;
};

using ArchiveHandlePtr = std::unique_ptr<ArchiveHandle>;

} // namespace zip
