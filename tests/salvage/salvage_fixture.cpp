#include "salvage_fixture.h"

#include <algorithm>
#include <filesystem>

namespace salvagetest {

namespace {

Bytes xmlPart(std::string_view root, int paragraphs)
{
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<" + std::string(root) + ">";
    for (int i = 0; i < paragraphs; ++i)
        text += "<text:p text:style-name=\"P" + std::to_string(i % 7) + "\">Shape " +
                std::to_string(i) + "</text:p>";
    text += "</" + std::string(root) + ">";
    return textBytes(text);
}

} // namespace

Drawing libreOfficeDrawing(bool centralDirectory)
{
    Drawing drawing;
    drawing.entries = {
        {"mimetype", textBytes("application/vnd.oasis.opendocument.graphics")},
        {"Thumbnails/thumbnail.png", testsupport::noise(9000, 11)},
        {"Pictures/10000201000001F4000001F4.png", testsupport::noise(140000, 12)},
        {"content.xml", xmlPart("office:document-content", 3000)},
        {"styles.xml", xmlPart("office:document-styles", 400)},
        {"meta.xml", xmlPart("office:document-meta", 3)},
        {"settings.xml", xmlPart("office:document-settings", 50)},
        {"META-INF/manifest.xml", xmlPart("manifest:manifest", 12)},
    };
    testsupport::ZipBuilder builder;
    for (const auto& [name, data] : drawing.entries) {
        const bool stored = name == "mimetype" || name.ends_with(".png");
        builder.add({.name = name,
                     .data = data,
                     .method = static_cast<std::uint16_t>(stored ? 0 : 8),
                     .dataDescriptor = !stored});
    }
    if (!centralDirectory)
        builder.withoutCentralDirectory();
    drawing.zip = builder.build();
    return drawing;
}

std::vector<std::string> namesOutside(const std::string& root, const std::string& tree)
{
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    std::error_code ec;
    const fs::path treePath = fs::path(tree).parent_path();
    for (auto it = fs::recursive_directory_iterator(root, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->path() == treePath) {
            it.disable_recursion_pending();
            continue;
        }
        if (it->path() == treePath.parent_path())
            continue; // the folder the tree is made in, when salvage made it
        std::string name = fs::relative(it->path(), root).generic_string();
        if (it->is_directory() && !it->is_symlink())
            name += '/';
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace salvagetest
