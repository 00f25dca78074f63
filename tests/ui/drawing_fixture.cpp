#include "drawing_fixture.h"

#include "support/zip_builder.h"

#include <QFile>

#include <string>

namespace uifixture {

namespace {

testsupport::Bytes bytesOf(const std::string& text)
{
    return {text.begin(), text.end()};
}

} // namespace

bool writeDamagedDrawing(const QString& path, std::uint32_t seed)
{
    const std::string manifest =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\""
        " manifest:version=\"1.3\">"
        "<manifest:file-entry manifest:full-path=\"/\" "
        "manifest:media-type=\"application/vnd.oasis.opendocument.graphics\"/>"
        "<manifest:file-entry manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\"/>"
        "<manifest:file-entry manifest:full-path=\"Pictures/a.png\" "
        "manifest:media-type=\"image/png\"/>"
        "</manifest:manifest>";
    const std::string content =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\""
        " office:version=\"1.3\"/>";
    const testsupport::Bytes bytes =
        testsupport::ZipBuilder()
            .add({.name = "mimetype",
                  .data = bytesOf("application/vnd.oasis.opendocument.graphics"),
                  .method = 0})
            .add({.name = "content.xml", .data = bytesOf(content), .dataDescriptor = true})
            .add({.name = "Pictures/a.png", .data = testsupport::noise(4000, seed), .method = 0})
            .add({.name = "META-INF/manifest.xml",
                  .data = bytesOf(manifest),
                  .dataDescriptor = true})
            .withoutCentralDirectory()
            .build()
            .bytes;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    const auto size = static_cast<qint64>(bytes.size());
    return file.write(reinterpret_cast<const char*>(bytes.data()), size) == size && file.flush();
}

} // namespace uifixture
