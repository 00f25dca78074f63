#include "engine/output_naming.h"

#include "platform/file_system.h"

#include <string_view>

namespace {

constexpr std::string_view OdgSuffix = ".ODG";

// Upper-cases a to z only; every other byte, UTF-8 sequences included, stays as it is.
std::string asciiUpper(std::string text)
{
    for (char& c : text) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

std::string numberedName(const std::string& upperName, unsigned long n)
{
    const std::string number = "(" + std::to_string(n) + ")";
    if (upperName.find(OdgSuffix) != std::string::npos) {
        std::string result;
        std::size_t from = 0;
        for (std::size_t at = upperName.find(OdgSuffix); at != std::string::npos;
             at = upperName.find(OdgSuffix, from)) {
            result.append(upperName, from, at - from).append(number).append(OdgSuffix);
            from = at + OdgSuffix.size();
        }
        return result.append(upperName, from);
    }
    const auto dot = upperName.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return upperName + number;
    return upperName.substr(0, dot) + number + upperName.substr(dot);
}

} // namespace

std::string MakeUniqueOutputName(std::string candidate)
{
    if (!platform::PathExists(candidate))
        return candidate;
    const std::string folder = platform::FolderOf(candidate);
    const std::string upperName = asciiUpper(platform::FileNameOf(candidate));
    // Every n gives a different name and a folder holds finitely many, so this ends.
    for (unsigned long n = 1;; ++n) {
        std::string path = folder + numberedName(upperName, n);
        if (!platform::PathExists(path))
            return path;
    }
}
