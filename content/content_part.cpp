#include "content/content_part.h"

#include <array>

namespace {

constexpr std::size_t BlockSize = 65536;

} // namespace

bool CopyByteRange(platform::CFile64& source, platform::CFile64& target, std::int64_t offset,
                   std::int64_t count)
{
    if (count < 1)
        return true;
    std::array<std::uint8_t, BlockSize> block;
    std::int64_t done = 0;
    while (done < count) {
        const auto want = static_cast<std::size_t>(
            std::min<std::int64_t>(count - done, static_cast<std::int64_t>(BlockSize)));
        const auto got = source.ReadAt(offset + done, std::span(block.data(), want));
        if (!got || *got != want)
            return false; // only bytes actually read are ever written
        if (!target.Write(std::span<const std::uint8_t>(block.data(), want)))
            return false;
        done += static_cast<std::int64_t>(want);
    }
    return true;
}

void RepairContentPart(const std::string& sourcePath, const std::string& targetPath)
{
    platform::CFile64 source;
    if (!source.OpenRead(sourcePath))
        return;
    platform::CFile64 target;
    if (!target.Create(targetPath, platform::CreateMode::Truncate))
        return;
    const auto length = source.Size();
    if (length)
        (void)CopyByteRange(source, target, 0, *length); // a failed copy leaves what was written
}
