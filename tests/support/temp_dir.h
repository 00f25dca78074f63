// A fresh directory per test, removed with everything in it when the test ends, and small file
// helpers for fixtures.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The directory, with a trailing separator.
    [[nodiscard]] const std::string& path() const { return m_path; }
    [[nodiscard]] std::string operator/(std::string_view name) const
    {
        return m_path + std::string(name);
    }

private:
    std::string m_path;
};

void writeFile(const std::string& path, std::span<const std::uint8_t> bytes);
void writeFile(const std::string& path, std::string_view text);
[[nodiscard]] std::vector<std::uint8_t> readFile(const std::string& path);
[[nodiscard]] std::string readText(const std::string& path);
[[nodiscard]] std::vector<std::uint8_t> bytesOf(std::string_view text);

// Every regular file below root, as "relative/path" names in sorted order.
[[nodiscard]] std::vector<std::string> listTree(const std::string& root);

} // namespace testsupport
