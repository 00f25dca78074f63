#include "content/xml_splice.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace content {

namespace {

enum class Kind
{
    Text,
    Start,  // <name ...>
    Empty,  // <name .../>
    End,    // </name>
    Other,  // comment, processing instruction, CDATA section, declaration
    Broken, // a '<' that starts nothing sound
};

struct Token
{
    Kind kind = Kind::Broken;
    std::size_t begin = 0;
    std::size_t end = 0;
    std::string_view name;
    bool damaged = false; // holds filler; for a start tag: in its name or its structure
    std::string mended;   // a start tag rebuilt without its damaged attributes
};

bool isNameStart(unsigned char c)
{
    // ASCII letters, whatever the locale; anything beyond ASCII may start a name.
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80;
}

bool isNameChar(unsigned char c)
{
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

class Tokenizer
{
public:
    Tokenizer(std::string_view text, char filler) : m_text(text), m_filler(filler) {}

    // The token that starts at `at` (before the end of the text).
    [[nodiscard]] Token next(std::size_t at) const
    {
        if (m_text[at] != '<') {
            const std::size_t end = std::min(m_text.find('<', at), m_text.size());
            return {Kind::Text, at, end, {}, hasFiller(at, end), {}};
        }
        if (startsWith(at, "<!--"))
            return closedBy(at, "-->");
        if (startsWith(at, "<![CDATA["))
            return closedBy(at, "]]>");
        if (startsWith(at, "<?"))
            return closedBy(at, "?>");
        if (startsWith(at, "<!"))
            return closedBy(at, ">");
        if (startsWith(at, "</"))
            return endTag(at);
        return startTag(at);
    }

private:
    [[nodiscard]] bool startsWith(std::size_t at, std::string_view prefix) const
    {
        return m_text.substr(at, prefix.size()) == prefix;
    }

    [[nodiscard]] bool hasFiller(std::size_t begin, std::size_t end) const
    {
        return m_text.substr(begin, end - begin).find(m_filler) != std::string_view::npos;
    }

    [[nodiscard]] Token closedBy(std::size_t at, std::string_view terminator) const
    {
        const std::size_t close = m_text.find(terminator, at + 2);
        if (close == std::string_view::npos)
            return {Kind::Broken, at, m_text.size(), {}, false, {}};
        const std::size_t end = close + terminator.size();
        return {Kind::Other, at, end, {}, hasFiller(at, end), {}};
    }

    // The name at `at`, empty when none starts there.
    [[nodiscard]] std::string_view nameAt(std::size_t at) const
    {
        std::size_t end = at;
        if (end < m_text.size() && isNameStart(static_cast<unsigned char>(m_text[end])))
            while (end < m_text.size() && isNameChar(static_cast<unsigned char>(m_text[end])))
                ++end;
        return m_text.substr(at, end - at);
    }

    // Where what is left of a tag that filler runs through ends: at its '>' when one shows
    // before the next tag; else where text that is no part of a tag (no '=' or quote in it)
    // comes out of the filler; else at the next tag. The stretch at `from` belongs to the tag.
    [[nodiscard]] std::size_t restOfTag(std::size_t from) const
    {
        const std::string stops{m_filler, '<'};
        for (std::size_t at = from, first = 1; at < m_text.size(); first = 0) {
            while (!first && at < m_text.size() && m_text[at] == m_filler)
                ++at;
            const std::size_t end = std::min(m_text.find_first_of(stops, at), m_text.size());
            const std::string_view piece = m_text.substr(at, end - at);
            if (const std::size_t close = piece.find('>'); close != std::string_view::npos)
                return at + close + 1;
            if (!first && piece.find_first_of("=\"") == std::string_view::npos)
                return at;
            if (end >= m_text.size() || m_text[end] == '<')
                return end;
            at = end;
        }
        return m_text.size();
    }

    // Skips what is left of a tag damaged by filler; without filler it is no tag at all.
    [[nodiscard]] Token damagedTag(Kind kind, std::size_t at, std::size_t from) const
    {
        const std::size_t close = m_text.find_first_of("<>", from);
        const std::size_t stop = close == std::string_view::npos ? m_text.size() : close;
        if (!hasFiller(at, stop))
            return {Kind::Broken, at, stop, {}, true, {}};
        const std::size_t end = restOfTag(from);
        if (kind == Kind::Start && end > at + 1 && m_text[end - 1] == '>' && m_text[end - 2] == '/')
            kind = Kind::Empty;
        return {kind, at, end, {}, true, {}};
    }

    [[nodiscard]] Token endTag(std::size_t at) const
    {
        const std::string_view name = nameAt(at + 2);
        std::size_t cursor = at + 2 + name.size();
        while (cursor < m_text.size() && isSpace(m_text[cursor]))
            ++cursor;
        if (!name.empty() && cursor < m_text.size() && m_text[cursor] == '>')
            return {Kind::End, at, cursor + 1, name, false, {}};
        // A close whose name the filler took still closes something.
        const std::size_t close = std::min(m_text.find_first_of("<>", at + 2), m_text.size());
        if (!hasFiller(at, close))
            return {Kind::Broken, at, close, {}, false, {}};
        return {Kind::End, at, restOfTag(at + 2), {}, true, {}};
    }

    [[nodiscard]] Token startTag(std::size_t at) const
    {
        const std::string_view name = nameAt(at + 1);
        std::size_t cursor = at + 1 + name.size();
        if (name.empty() || (cursor < m_text.size() && !isSpace(m_text[cursor]) &&
                             m_text[cursor] != '>' && m_text[cursor] != '/'))
            return damagedTag(Kind::Start, at, at + 1);
        Token token{Kind::Start, at, 0, name, false, {}};
        // The tag as kept: only made when an attribute is left out, from the spans kept so far.
        auto& keptSpans = m_keptSpans;
        keptSpans.clear();
        const auto kept = [&] {
            std::string tag = "<" + std::string(name);
            for (const auto& [begin, end] : keptSpans)
                tag += " " + std::string(m_text.substr(begin, end - begin));
            return tag;
        };
        // Filler that runs through the rest of the tag took its end with it: the element is
        // kept with the attributes before the filler, and what is left up to the next tag goes.
        const auto cutShort = [&](std::size_t from) {
            if (!hasFiller(from, std::min(m_text.find('<', from), m_text.size())) &&
                m_text.substr(from, 1) != std::string_view(&m_filler, 1))
                return Token{Kind::Broken, at,    std::min(m_text.find('<', from), m_text.size()),
                             {},           false, {}};
            token.end = restOfTag(from);
            token.damaged = true;
            token.mended = kept() + ">";
            return token;
        };
        bool dropped = false;
        auto& names = m_names;
        names.clear();
        for (;;) {
            const std::size_t spaceStart = cursor;
            while (cursor < m_text.size() && isSpace(m_text[cursor]))
                ++cursor;
            if (cursor >= m_text.size())
                return {Kind::Broken, at, m_text.size(), {}, false, {}};
            if (m_text[cursor] == '>' || startsWith(cursor, "/>")) {
                token.kind = m_text[cursor] == '>' ? Kind::Start : Kind::Empty;
                token.end = cursor + (token.kind == Kind::Start ? 1 : 2);
                if (dropped)
                    token.mended = kept() + (token.kind == Kind::Start ? ">" : "/>");
                return token;
            }
            // An attribute: name = "value", the value quoted either way and free of '<'.
            const std::string_view attribute = nameAt(cursor);
            std::size_t valueAt = cursor + attribute.size();
            while (valueAt < m_text.size() && isSpace(m_text[valueAt]))
                ++valueAt;
            if (attribute.empty() || spaceStart == cursor || valueAt >= m_text.size() ||
                m_text[valueAt] != '=')
                return cutShort(cursor);
            ++valueAt;
            while (valueAt < m_text.size() && isSpace(m_text[valueAt]))
                ++valueAt;
            if (valueAt >= m_text.size() || (m_text[valueAt] != '"' && m_text[valueAt] != '\''))
                return cutShort(cursor);
            const std::size_t quote =
                m_text.find_first_of(std::string{m_text[valueAt], '<'}, valueAt + 1);
            if (quote == std::string_view::npos || m_text[quote] == '<')
                return cutShort(cursor);
            const std::size_t attributeEnd = quote + 1;
            // An attribute the filler reached is left out, and so is a second one of a name
            // (guessed bytes can make one up); the element keeps the others.
            if (hasFiller(cursor, attributeEnd) ||
                std::find(names.begin(), names.end(), attribute) != names.end())
                dropped = true;
            else
                keptSpans.emplace_back(cursor, attributeEnd);
            names.push_back(attribute);
            cursor = attributeEnd;
        }
    }

    std::string_view m_text;
    char m_filler;
    // Reused from tag to tag: reading a long part makes no allocation per tag.
    mutable std::vector<std::string_view> m_names;
    mutable std::vector<std::pair<std::size_t, std::size_t>> m_keptSpans;
};

// What of a stretch of character data that filler runs through can be words: a tag whose '<'
// was lost reads as text up to its '>', so each stretch between runs of filler keeps only what
// follows its last '<', '>', '=', '"' or '/'.
std::string withoutTagRemnants(std::string_view text, char filler)
{
    std::string words;
    words.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find(filler, at), text.size());
        std::string_view stretch = text.substr(at, end - at);
        if (const auto markup = stretch.find_last_of("<>=\"/"); markup != std::string_view::npos)
            stretch.remove_prefix(markup + 1);
        words += stretch;
        const std::size_t next = std::min(text.find_first_not_of(filler, end), text.size());
        words.append(next - end, filler);
        at = next;
    }
    return words;
}

// Character data without filler, and without a '&' that no longer starts a reference.
std::string cleanText(std::string_view text, char filler)
{
    // A run of filler stands for lost characters, often a word's worth: a blank keeps the
    // words on either side apart.
    std::string clean;
    clean.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] != filler)
            clean.push_back(text[at]);
        else if (at == 0 || text[at - 1] != filler)
            clean.push_back(' ');
    }
    std::string out;
    out.reserve(clean.size());
    for (std::size_t at = 0; at < clean.size(); ++at) {
        if (clean[at] != '&') {
            out.push_back(clean[at]);
            continue;
        }
        const std::size_t semicolon = clean.find(';', at);
        const bool reference =
            semicolon != std::string::npos && semicolon > at + 1 &&
            std::all_of(clean.begin() + static_cast<std::ptrdiff_t>(at + 1),
                        clean.begin() + static_cast<std::ptrdiff_t>(semicolon), [](char e) {
                            return e == '#' || std::isalnum(static_cast<unsigned char>(e)) != 0;
                        });
        if (reference)
            out.push_back('&');
    }
    return out;
}

// What before holds up to its last sound point, the elements open there (outermost first), and
// which elements it shows inside which.
struct SoundPrefix
{
    std::size_t length = 0;
    std::vector<std::string> open;
    bool complete = false; // the root element is closed: nothing can follow
    std::map<std::string, std::set<std::string, std::less<>>, std::less<>> children;
    std::set<std::string, std::less<>> textHolders; // elements seen holding words
    std::string_view rootTag;                       // the root's start tag as written
    std::size_t shownBy = 0; // the end of what could not be read on from: damage lies before it
    bool rootSeen = false;
};

// Reads on from where `sound` stopped (its length, a token's start) to the end of before.
SoundPrefix soundPrefixOf(std::string_view before, char filler, SoundPrefix sound = {})
{
    const Tokenizer tokens(before, filler);
    sound.shownBy = 0;
    bool& rootSeen = sound.rootSeen;
    for (std::size_t at = sound.length; at < before.size();) {
        const Token token = tokens.next(at);
        if (token.kind == Kind::Text) {
            const std::size_t lost =
                before.substr(token.begin, token.end - token.begin).find(filler);
            std::size_t end = lost == std::string_view::npos ? token.end : token.begin + lost;
            // Text cut off by the end or by filler may end in half a reference.
            if (end != token.end || token.end == before.size()) {
                const std::string_view kept = before.substr(token.begin, end - token.begin);
                const std::size_t ampersand = kept.rfind('&');
                if (ampersand != std::string_view::npos &&
                    kept.find(';', ampersand) == std::string_view::npos)
                    end = token.begin + ampersand;
            }
            if (!sound.open.empty() || end == token.end)
                sound.length = end;
            const std::string_view words = before.substr(token.begin, end - token.begin);
            if (!sound.open.empty() && words.find_first_not_of(" \t\r\n") != std::string_view::npos)
                sound.textHolders.emplace(sound.open.back());
            if (end != token.end) {
                sound.shownBy = end + 1;
                break;
            }
        } else if (token.damaged || token.kind == Kind::Broken ||
                   (token.kind == Kind::End &&
                    (sound.open.empty() || sound.open.back() != token.name))) {
            sound.shownBy = token.end;
            break;
        } else {
            if (token.kind == Kind::Start && sound.open.empty() && !rootSeen)
                sound.rootTag = before.substr(token.begin, token.end - token.begin);
            if (token.kind == Kind::Start || token.kind == Kind::Empty) {
                sound.children[sound.open.empty() ? std::string() : sound.open.back()].emplace(
                    token.name);
                rootSeen = true;
            }
            if (token.kind == Kind::Start)
                sound.open.emplace_back(token.name);
            else if (token.kind == Kind::End)
                sound.open.pop_back();
            sound.length = token.end;
            if (rootSeen && sound.open.empty()) {
                sound.complete = true;
                break;
            }
        }
        at = token.end;
    }
    return sound;
}

// The start of an empty drawing, for words whose content part lost even its root's start tag.
constexpr std::string_view DrawingOpening =
    "<office:document-content "
    "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
    "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
    "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
    "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
    "xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\" "
    "xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\" "
    "office:version=\"1.3\">";
constexpr std::string_view ContentRoot = "<office:document-content";
constexpr std::string_view ContentRootName = "office:document-content";
constexpr std::string_view PageOpening =
    "<office:body><office:drawing><draw:page draw:name=\"page1\">";
// Elements of a drawing that hold its words.
const std::set<std::string, std::less<>> WordHolders = {"text:p", "text:h", "text:span"};

// Builds the rest of the tree from what comes after the gap, the way a forgiving reader of
// damaged markup would: a close names the open element it ends (those inside it end with it)
// and is dropped when none has that name; an element that only ever appears inside one of the
// open elements further out ends those in between; anything the filler damaged beyond mending
// goes.
class TreeMender
{
    // Below this many kinds of parent the part before the gap says too little about its names.
    static constexpr std::size_t MinKnownParents = 4;
    // How much text a box of words holds on a page, A4 either way, at the default text size.
    static constexpr std::size_t CharsPerLine = 55;
    static constexpr std::size_t LinesPerBox = 20;
    static constexpr std::size_t MaxBoxCm = 17;

public:
    TreeMender(SoundPrefix& sound, std::string& result) : m_sound(sound), m_result(result) {}

    // Takes the next token of after; false once the root element is closed.
    bool take(const Token& token, std::string_view raw, char filler)
    {
        auto& open = m_sound.open;
        switch (token.kind) {
        case Kind::Text: {
            // Character data holding what is left of tags whose '<' was lost: where its words
            // belong is unknown, and the element open here most likely ended among those tags.
            const bool tagsLost =
                token.damaged && raw.find('>') != std::string_view::npos && pageTakesTextBox();
            std::string text = cleanText(
                token.damaged ? withoutTagRemnants(raw, filler) : std::string(raw), filler);
            // Words whose element was lost with the gap would sit where nothing shows them.
            const bool words = text.find_first_not_of(" \t\r\n") != std::string::npos;
            const auto& holders = m_sound.textHolders;
            if (words && !holders.empty() &&
                (tagsLost || open.empty() || holders.find(open.back()) == holders.end()))
                m_orphans.push_back(std::move(text));
            else
                m_result += text;
            break;
        }
        case Kind::Other:
            if (!token.damaged)
                m_result += raw;
            break;
        case Kind::Broken:
            break;
        case Kind::Start:
        case Kind::Empty:
            if ((token.damaged && token.mended.empty()) || !known(token.name))
                break; // its name is lost, or not one this part uses
            placeAmong(token.name);
            m_bodyOpened = m_bodyOpened || token.name == "office:body";
            m_result += token.mended.empty() ? std::string(raw) : token.mended;
            if (token.kind == Kind::Start)
                open.emplace_back(token.name);
            break;
        case Kind::End: {
            if (token.damaged)
                break;
            const auto match = std::find(open.rbegin(), open.rend(), token.name);
            if (match == open.rend())
                break; // the close of an element whose start was lost
            closeDownTo(static_cast<std::size_t>(open.rend() - match) - 1);
            break;
        }
        }
        return !open.empty();
    }

    // Whether the page open at the end of the result holds any element yet.
    [[nodiscard]] bool pageShowsShapes() const
    {
        std::size_t page = m_result.size();
        do
            page = page == 0 ? std::string::npos : m_result.rfind("<draw:page", page - 1);
        while (page != std::string::npos && page + 10 < m_result.size() &&
               m_result[page + 10] != ' ' && m_result[page + 10] != '>');
        const std::size_t opened = page == std::string::npos ? page : m_result.find('>', page);
        return opened != std::string::npos && m_result.find('<', opened) != std::string::npos;
    }

    // Whether a page is open that a text box of words can go on.
    [[nodiscard]] bool pageTakesTextBox() const
    {
        const auto& open = m_sound.open;
        return bindsTextBoxNames() &&
               std::find(open.begin(), open.end(), std::string_view("draw:page")) != open.end();
    }

    [[nodiscard]] bool bindsTextBoxNames() const
    {
        const std::string_view root = m_sound.rootTag;
        return root.find("xmlns:draw=") != std::string_view::npos &&
               root.find("xmlns:text=") != std::string_view::npos &&
               root.find("xmlns:svg=") != std::string_view::npos;
    }

    // Puts the words that lost their element into a text box of their own on the page they
    // came with, so that they are there to be seen and copied. A part whose page is not open,
    // or whose root does not bind the names a text box needs, keeps them out.
    void placeOrphans()
    {
        auto& open = m_sound.open;
        const bool bindsNames = bindsTextBoxNames();
        auto page = std::find(open.rbegin(), open.rend(), std::string_view("draw:page"));
        if (!m_orphans.empty() && bindsNames && page == open.rend() && !open.empty() &&
            open.front() == ContentRootName && !bodySeen()) {
            // The gap came before the drawing's body: the words get a page of their own.
            closeDownTo(1);
            m_result += PageOpening;
            open.insert(open.end(), {"office:body", "office:drawing", "draw:page"});
            m_bodyOpened = true;
            page = open.rbegin();
        }
        if (m_orphans.empty() || !bindsNames || page == open.rend()) {
            m_orphans.clear();
            return;
        }
        closeDownTo(static_cast<std::size_t>(open.rend() - page));
        // What does not fit one page goes on to pages of its own after it: a text box that
        // grows past its page's edge is cut off there when the drawing is printed or exported.
        std::vector<std::pair<std::string, std::size_t>> boxes; // paragraphs, lines
        for (std::string_view text : m_orphans) {
            // A paragraph longer than a box holds is parted between words.
            while (!text.empty()) {
                std::size_t part = text.size();
                if (part > CharsPerLine * LinesPerBox) {
                    part = text.rfind(' ', CharsPerLine * LinesPerBox);
                    part = part == std::string_view::npos || part == 0 ? CharsPerLine * LinesPerBox
                                                                       : part;
                }
                const std::size_t lines = part / CharsPerLine + 1;
                if (boxes.empty() || boxes.back().second + lines > LinesPerBox)
                    boxes.emplace_back();
                boxes.back().first += "<text:p>" + std::string(text.substr(0, part)) + "</text:p>";
                boxes.back().second += lines;
                text.remove_prefix(part);
            }
        }
        // On a page that shows shapes already, the words would lie over them; they get the
        // next page instead.
        const bool pageInUse = pageShowsShapes();
        for (std::size_t box = 0; box < boxes.size(); ++box) {
            if (box > 0 || pageInUse)
                m_result += "</draw:page><draw:page>";
            // Tall enough for its lines at an ordinary size.
            const std::size_t height = std::clamp<std::size_t>(boxes[box].second, 2, MaxBoxCm);
            m_result += "<draw:frame draw:layer=\"layout\" svg:width=\"19cm\" svg:height=\"" +
                        std::to_string(height) +
                        "cm\" svg:x=\"1cm\" svg:y=\"1cm\"><draw:text-box>" + boxes[box].first +
                        "</draw:text-box></draw:frame>";
        }
        m_orphans.clear();
    }

private:
    // Ends the open elements inside the one at `depth`, and that one too; a page gets the
    // words that lost their element before it ends.
    void closeDownTo(std::size_t depth)
    {
        auto& open = m_sound.open;
        while (open.size() > depth) {
            if ((open.back() == "draw:page" || open.size() == 1) && !m_orphans.empty())
                placeOrphans();
            m_result += "</" + open.back() + ">";
            open.pop_back();
        }
    }

    // Whether the part before the gap shows elements of this name; guessed bytes can make up
    // names that are none of its own. A part that shows few elements vouches for none.
    [[nodiscard]] bool known(std::string_view name) const
    {
        const auto& children = m_sound.children;
        return children.size() < MinKnownParents ||
               std::any_of(children.begin(), children.end(),
                           [&](const auto& parent) { return parent.second.count(name) != 0; });
    }

    // Ends open elements until one is open that such an element was seen inside, if any is.
    void placeAmong(std::string_view name)
    {
        auto& open = m_sound.open;
        const auto fits = [&](const std::string& parent) {
            const auto children = m_sound.children.find(parent);
            return children != m_sound.children.end() && children->second.count(name) != 0;
        };
        if (open.empty() || fits(open.back()))
            return;
        const auto parent = std::find_if(open.rbegin(), open.rend(), fits);
        if (parent != open.rend())
            closeDownTo(static_cast<std::size_t>(open.rend() - parent));
    }

    // Whether the part has a body already, before the gap or after it.
    [[nodiscard]] bool bodySeen() const
    {
        const auto children = m_sound.children.find(ContentRootName);
        return m_bodyOpened ||
               (children != m_sound.children.end() && children->second.count("office:body") != 0);
    }

    SoundPrefix& m_sound;
    std::string& m_result;
    std::vector<std::string> m_orphans; // words that lost their element
    bool m_bodyOpened = false;
};

} // namespace

std::size_t SoundLength(std::string_view xml)
{
    const SoundPrefix sound = soundPrefixOf(xml, '\0');
    return sound.complete ? xml.size() : sound.length;
}

struct SoundReader::State
{
    SoundPrefix shared;
};

// Only up to the last tag the shared bytes hold: what they end in may go on differently.
SoundReader::SoundReader(std::string_view shared)
    : m_state(std::make_shared<State>(
          State{soundPrefixOf(shared.substr(0, shared.rfind('>') + 1), '\0')}))
{
}

std::size_t SoundReader::SoundLength(std::string_view xml) const
{
    const SoundPrefix& shared = m_state->shared;
    if (shared.complete || shared.shownBy != 0)
        return content::SoundLength(xml);
    const SoundPrefix sound = soundPrefixOf(xml, '\0', shared);
    return sound.complete ? xml.size() : sound.length;
}

std::size_t DamageShownBy(std::string_view xml)
{
    const SoundPrefix sound = soundPrefixOf(xml, '\0');
    return sound.complete || sound.shownBy == 0 ? xml.size() : std::min(sound.shownBy, xml.size());
}

std::string SpliceAfterGap(std::string_view before, std::string_view after, char filler,
                           bool contentPart)
{
    SoundPrefix sound = soundPrefixOf(before, filler);
    std::string result(before.substr(0, sound.length));
    if (sound.complete)
        return result;
    // The root's start tag was cut, or the gap came before it: of a content part, at least.
    const bool rootCut = sound.open.empty() &&
                         (before.substr(sound.length).find(ContentRoot) != std::string_view::npos ||
                          (contentPart && sound.children.empty()));
    if (sound.open.empty() && !rootCut)
        return result;
    if (rootCut) {
        // Nothing of the drawing's tree is left to go on in: its words go into a text box on
        // a page of an otherwise empty drawing.
        result += DrawingOpening;
        result += PageOpening;
        sound.open = {"office:document-content", "office:body", "office:drawing", "draw:page"};
        sound.rootTag = DrawingOpening;
        sound.textHolders = WordHolders;
        TreeMender mender(sound, result);
        const Tokenizer tokens(after, filler);
        for (std::size_t at = 0; at < after.size();) {
            const Token token = tokens.next(at);
            if (token.kind == Kind::Text)
                (void)mender.take(token, after.substr(token.begin, token.end - token.begin),
                                  filler);
            at = token.end;
        }
        mender.placeOrphans();
        return result;
    }
    // A drawing cut before any of its words still has them in paragraphs.
    if (sound.open.front() == ContentRootName && sound.textHolders.empty())
        sound.textHolders = WordHolders;
    const Tokenizer tokens(after, filler);
    // After the gap comes the rest of a tag, or of character data, cut by it: the rest of a
    // tag, which ends at a '>' soon, goes; character data stays.
    constexpr std::size_t LongestTagRest = 512;
    std::size_t at = 0;
    const std::size_t edge = after.find_first_of("<>");
    if (edge != std::string_view::npos && after[edge] == '>' && edge < LongestTagRest)
        at = edge + 1;
    TreeMender mender(sound, result);
    while (at < after.size()) {
        const Token token = tokens.next(at);
        if (!mender.take(token, after.substr(token.begin, token.end - token.begin), filler))
            break;
        at = token.end;
    }
    mender.placeOrphans();
    return result;
}

} // namespace content
