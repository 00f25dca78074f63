#include "content/xml_repair.h"

#include "content/xml_document.h"
#include "platform/file64.h"

#include <array>
#include <cstdint>

namespace content {

namespace {

// Parts larger than this are not read into memory for mending; the biggest content parts real
// drawings have are a few megabytes.
constexpr std::int64_t MaxMendedPartSize = std::int64_t{256} << 20;

bool readWhole(const std::string& path, std::string& text)
{
    platform::CFile64 file;
    if (!file.OpenRead(path))
        return false;
    const auto size = file.Size();
    if (!size || *size > MaxMendedPartSize)
        return false;
    text.resize(static_cast<std::size_t>(*size));
    const auto got =
        file.Read(std::span(reinterpret_cast<std::uint8_t*>(text.data()), text.size()));
    if (!got)
        return false;
    text.resize(*got);
    return true;
}

// Length of the valid UTF-8 sequence starting at text[at], or 0 when there is none.
std::size_t validSequenceLength(const std::string& text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    std::uint32_t minimum = 0;
    std::uint32_t code = 0;
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, minimum = 0x80, code = lead & 0x1Fu;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, minimum = 0x800, code = lead & 0x0Fu;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, minimum = 0x10000, code = lead & 0x07u;
    } else {
        return 0;
    }
    if (text.size() - at < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (byte(at + i) & 0x3Fu);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    const bool nonCharacter = code == 0xFFFE || code == 0xFFFF;
    if (code < minimum || code > 0x10FFFF || surrogate || nonCharacter)
        return 0;
    return length;
}

// Replaces what XML cannot hold: invalid UTF-8 becomes U+FFFD, forbidden control characters a
// blank. Returns whether anything was replaced.
bool cleanText(std::string& text)
{
    static constexpr std::string_view Replacement = "\xEF\xBF\xBD";
    std::string clean;
    bool changed = false;
    clean.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = validSequenceLength(text, at);
        if (length == 0) {
            clean.append(Replacement);
            changed = true;
            ++at;
            continue;
        }
        const auto c = static_cast<unsigned char>(text[at]);
        if (length == 1 && c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
            clean.push_back(' ');
            changed = true;
        } else {
            clean.append(text, at, length);
        }
        at += length;
    }
    text.swap(clean);
    return changed;
}

bool sameAttribute(const xmlAttr* a, const xmlAttr* b)
{
    const auto* aSpace = a->ns ? a->ns->href : nullptr;
    const auto* bSpace = b->ns ? b->ns->href : nullptr;
    return xmlStrEqual(a->name, b->name) &&
           (aSpace == bSpace || (aSpace && bSpace && xmlStrEqual(aSpace, bSpace)));
}

// Recovery mode keeps an attribute given twice on one element, which no XML reader accepts;
// the first one stays. Walks the tree without recursion, as damaged parts can nest deeply.
void dropRepeatedAttributes(xmlNode* root)
{
    for (xmlNode* node = root; node;) {
        if (node->type == XML_ELEMENT_NODE) {
            for (xmlAttr* attribute = node->properties; attribute;) {
                xmlAttr* next = attribute->next;
                for (const xmlAttr* earlier = node->properties; earlier != attribute;
                     earlier = earlier->next) {
                    if (sameAttribute(earlier, attribute)) {
                        xmlRemoveProp(attribute);
                        break;
                    }
                }
                attribute = next;
            }
        }
        if (node->children && node->type == XML_ELEMENT_NODE) {
            node = node->children;
            continue;
        }
        while (node && node != root && !node->next)
            node = node->parent;
        node = node && node != root ? node->next : nullptr;
    }
}

} // namespace

XmlRepairResult RepairXmlPart(const std::string& path)
{
    if (parseXmlFile(path, ParseMode::Strict))
        return XmlRepairResult::WellFormed;
    std::string text;
    if (!readWhole(path, text))
        return XmlRepairResult::Unrecoverable;
    (void)cleanText(text);
    XmlDocPtr doc = parseXmlMemory(text, ParseMode::Recover);
    if (!doc)
        return XmlRepairResult::Unrecoverable;
    dropRepeatedAttributes(xmlDocGetRootElement(doc.get()));
    // What recovery mode built is saved only when it reads back as well-formed XML.
    xmlChar* dumped = nullptr;
    int dumpedSize = 0;
    xmlDocDumpMemoryEnc(doc.get(), &dumped, &dumpedSize, "UTF-8");
    const bool sound = dumped && parseXmlMemory(std::string(reinterpret_cast<const char*>(dumped),
                                                            static_cast<std::size_t>(dumpedSize)),
                                                ParseMode::Strict) != nullptr;
    xmlFree(dumped);
    if (!sound || !saveXmlFile(doc.get(), path))
        return XmlRepairResult::Unrecoverable;
    return XmlRepairResult::Repaired;
}

} // namespace content
