#include "salvage/lost_window.h"

#include <algorithm>
#include <array>

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

// Votes for the value of one lost byte; only the bytes voted for are looked at and reset.
class Votes
{
public:
    void add(std::uint8_t byte, double weight)
    {
        if (m_weight[byte] == 0)
            m_touched.push_back(byte);
        m_weight[byte] += weight;
    }

    // The byte with most votes when it has minShare of more than minTotal votes; -1 otherwise.
    // Clears the votes.
    int takeWinner(double minShare, double minTotal)
    {
        double total = 0;
        int best = -1;
        for (const std::uint8_t byte : m_touched) {
            total += m_weight[byte];
            if (best < 0 || m_weight[byte] > m_weight[static_cast<std::size_t>(best)])
                best = byte;
        }
        const bool clear = best >= 0 && total > minTotal &&
                           m_weight[static_cast<std::size_t>(best)] >= minShare * total;
        for (const std::uint8_t byte : m_touched)
            m_weight[byte] = 0;
        m_touched.clear();
        return clear ? best : -1;
    }

private:
    std::array<double, 256> m_weight{};
    std::vector<std::uint8_t> m_touched;
};

// How often each byte follows (or precedes) each context of MinOrder to MaxOrder known bytes:
// one sorted list of (context, byte) pairs, so that building it costs no allocation per context.
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
                    m_seen.emplace_back(keyOf(&text[at - order], order, Direction::Forward),
                                        static_cast<std::uint8_t>(text[at]));
                if (at + order < text.size() && known(text, at + 1, order))
                    m_seen.emplace_back(keyOf(&text[at + 1], order, Direction::Backward),
                                        static_cast<std::uint8_t>(text[at]));
            }
        }
        std::sort(m_seen.begin(), m_seen.end());
    }

    // Adds the model's votes for the byte at `at` of text, from its longest known context on
    // each side.
    void vote(const std::vector<int>& text, std::size_t at, Votes& votes) const
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
    static bool known(const std::vector<int>& text, std::size_t from, std::size_t count)
    {
        return std::all_of(text.begin() + static_cast<std::ptrdiff_t>(from),
                           text.begin() + static_cast<std::ptrdiff_t>(from + count),
                           [](int b) { return b >= 0; });
    }

    bool addVotes(std::uint64_t key, std::size_t order, Votes& votes) const
    {
        const auto [first, last] = std::equal_range(
            m_seen.begin(), m_seen.end(), std::pair<std::uint64_t, std::uint8_t>(key, 0),
            [](const auto& a, const auto& b) { return a.first < b.first; });
        if (first == last)
            return false;
        const double share = static_cast<double>(order) / static_cast<double>(last - first);
        for (auto it = first; it != last; ++it)
            votes.add(it->second, share);
        return true;
    }

    std::vector<std::pair<std::uint64_t, std::uint8_t>> m_seen;
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
    Votes votes;
    // At first only lost bytes that are copied, or that border the text before, can have any
    // known context; the others wake up as guesses next to them come in.
    std::vector<char> pending(lostCount, 0);
    for (std::size_t lost = 0; lost < lostCount; ++lost)
        pending[lost] = uses[lost].size() > 1 || (adjacent && lost < MaxOrder) ? 1 : 0;
    std::vector<std::size_t> waiting;
    for (std::size_t lost = 0; lost < lostCount; ++lost)
        if (pending[lost])
            waiting.push_back(lost);
    for (int round = 0; round < MaxRounds && !waiting.empty(); ++round) {
        std::vector<std::pair<std::size_t, int>> found;
        for (const std::size_t lost : waiting) {
            pending[lost] = 0;
            if (guesses[lost] >= 0)
                continue;
            for (const std::size_t at : uses[lost])
                model.vote(text, at, votes);
            if (const int best = votes.takeWinner(MinShare, MinVotes); best >= 0)
                found.emplace_back(lost, best);
        }
        waiting.clear();
        for (const auto& [lost, byte] : found) {
            guesses[lost] = byte;
            for (const std::size_t at : uses[lost]) {
                text[at] = byte;
                const std::size_t from = at >= MaxOrder ? at - MaxOrder : 0;
                const std::size_t to = std::min(text.size(), at + MaxOrder + 1);
                for (std::size_t near = from; near < to; ++near) {
                    if (lostOf[near] < 0)
                        continue;
                    const auto woken = static_cast<std::size_t>(lostOf[near]);
                    if (!pending[woken] && guesses[woken] < 0) {
                        pending[woken] = 1;
                        waiting.push_back(woken);
                    }
                }
            }
        }
    }
    return guesses;
}

} // namespace salvage
