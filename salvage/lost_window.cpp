#include "salvage/lost_window.h"

#include <algorithm>
#include <array>
#include <unordered_map>

namespace salvage {

namespace {

// Context lengths the guesses use: longer contexts are trusted more.
constexpr std::size_t MinOrder = 3;
constexpr std::size_t MaxOrder = 8;
// A wrong guess does more harm than a byte left lost, so a guess needs this share of all votes
// for its byte
constexpr double MinShare = 0.8;
// and votes from several uses or long contexts: each use votes with the length of its context.
constexpr double MinVotes = 8;
// Each round fills in the bytes next to those known; runs of lost bytes are filled from both
// ends, so this bounds the longest run that can be filled at twice as many bytes.
constexpr int MaxRounds = 96;

enum class Direction
{
    Forward,  // the byte after a context
    Backward, // the byte before a context
};

std::uint64_t keyOf(const int* context, std::size_t order, Direction direction)
{
    std::uint64_t hash = 1469598103934665603ull ^ (order * 2 + (direction == Direction::Forward));
    for (std::size_t i = 0; i < order; ++i) {
        hash ^= static_cast<std::uint64_t>(context[i]);
        hash *= 1099511628211ull;
    }
    return hash;
}

// How often each byte follows (or precedes) each context of MinOrder to MaxOrder known bytes.
class ContextModel
{
public:
    explicit ContextModel(const std::vector<int>& text)
    {
        for (std::size_t at = 0; at < text.size(); ++at) {
            if (text[at] < 0)
                continue;
            for (std::size_t order = MinOrder; order <= MaxOrder; ++order) {
                if (at >= order && known(text, at - order, order))
                    add(keyOf(&text[at - order], order, Direction::Forward), text[at]);
                if (at + order < text.size() && known(text, at + 1, order))
                    add(keyOf(&text[at + 1], order, Direction::Backward), text[at]);
            }
        }
    }

    // Adds the model's votes for the byte at `at` of text, from its longest known context on
    // each side.
    void vote(const std::vector<int>& text, std::size_t at, std::array<double, 256>& votes) const
    {
        for (std::size_t order = std::min(MaxOrder, at); order >= MinOrder; --order) {
            if (!known(text, at - order, order))
                continue;
            if (addVotes(keyOf(&text[at - order], order, Direction::Forward), order, votes))
                break;
        }
        for (std::size_t order = std::min(MaxOrder, text.size() - at - 1); order >= MinOrder;
             --order) {
            if (!known(text, at + 1, order))
                continue;
            if (addVotes(keyOf(&text[at + 1], order, Direction::Backward), order, votes))
                break;
        }
    }

private:
    using Counts = std::vector<std::pair<std::uint8_t, std::uint32_t>>;

    static bool known(const std::vector<int>& text, std::size_t from, std::size_t count)
    {
        return std::all_of(text.begin() + static_cast<std::ptrdiff_t>(from),
                           text.begin() + static_cast<std::ptrdiff_t>(from + count),
                           [](int b) { return b >= 0; });
    }

    void add(std::uint64_t key, int byte)
    {
        Counts& counts = m_counts[key];
        const auto it = std::find_if(counts.begin(), counts.end(),
                                     [&](const auto& c) { return c.first == byte; });
        if (it != counts.end())
            ++it->second;
        else
            counts.emplace_back(static_cast<std::uint8_t>(byte), 1);
    }

    bool addVotes(std::uint64_t key, std::size_t order, std::array<double, 256>& votes) const
    {
        const auto found = m_counts.find(key);
        if (found == m_counts.end())
            return false;
        double total = 0;
        for (const auto& [byte, count] : found->second)
            total += count;
        for (const auto& [byte, count] : found->second)
            votes[byte] += static_cast<double>(order) * count / total;
        return true;
    }

    std::unordered_map<std::uint64_t, Counts> m_counts;
};

} // namespace

std::vector<int> GuessLostBytes(std::span<const std::uint8_t> before, std::size_t lostCount,
                                std::span<const std::uint8_t> output,
                                std::span<const std::int32_t> source, bool adjacent)
{
    // The whole text as it was, known bytes as they are and lost ones as -1; where each lost
    // byte occurs: its own place and every copy of it.
    std::vector<int> text(before.begin(), before.end());
    if (!adjacent)
        text.resize(text.size() + MaxOrder, -1); // no context reaches across
    const std::size_t lostAt = text.size();
    text.resize(lostAt + lostCount, -1);
    const std::size_t outputAt = text.size();
    std::vector<std::vector<std::size_t>> uses(lostCount);
    for (std::size_t i = 0; i < lostCount; ++i)
        uses[i].push_back(lostAt + i);
    for (std::size_t i = 0; i < output.size() && i < source.size(); ++i) {
        if (source[i] == KnownByte || static_cast<std::size_t>(source[i]) >= lostCount) {
            text.push_back(output[i]);
        } else {
            text.push_back(-1);
            uses[static_cast<std::size_t>(source[i])].push_back(outputAt + i);
        }
    }

    // Where in the text each lost byte has a use, so that a guess wakes up the lost bytes
    // whose contexts it completes.
    std::vector<std::int32_t> lostOf(text.size(), -1);
    for (std::size_t lost = 0; lost < lostCount; ++lost)
        for (const std::size_t at : uses[lost])
            lostOf[at] = static_cast<std::int32_t>(lost);

    const ContextModel model(text);
    std::vector<int> guesses(lostCount, -1);
    std::vector<char> pending(lostCount, 1);
    for (int round = 0; round < MaxRounds; ++round) {
        std::vector<std::pair<std::size_t, int>> found;
        for (std::size_t lost = 0; lost < lostCount; ++lost) {
            if (!pending[lost] || guesses[lost] >= 0)
                continue;
            pending[lost] = 0;
            std::array<double, 256> votes{};
            for (const std::size_t at : uses[lost])
                model.vote(text, at, votes);
            const auto best = std::max_element(votes.begin(), votes.end());
            double total = 0;
            for (const double v : votes)
                total += v;
            if (total > MinVotes && *best >= MinShare * total)
                found.emplace_back(lost, static_cast<int>(best - votes.begin()));
        }
        if (found.empty())
            break;
        for (const auto& [lost, byte] : found) {
            guesses[lost] = byte;
            for (const std::size_t at : uses[lost]) {
                text[at] = byte;
                const std::size_t from = at >= MaxOrder ? at - MaxOrder : 0;
                const std::size_t to = std::min(text.size(), at + MaxOrder + 1);
                for (std::size_t near = from; near < to; ++near)
                    if (lostOf[near] >= 0)
                        pending[static_cast<std::size_t>(lostOf[near])] = 1;
            }
        }
    }
    return guesses;
}

} // namespace salvage
