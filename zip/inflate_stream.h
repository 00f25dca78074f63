// InflateStream: the one owner of a zlib raw-inflate stream (no zlib header, 32 KiB window), as
// ZIP method 8 holds its data. Each step tells a clean end of the stream, input that ran out
// and damaged data apart; zlib's "no progress possible" is reported as needing more input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

struct z_stream_s;

namespace zip {

class InflateStream
{
public:
    enum class Status
    {
        Progress,    // some input was consumed or some output produced; call again
        StreamEnd,   // the final block is complete; the stream takes nothing more
        NeedsInput,  // nothing can happen until more input is given
        DataError,   // the data is not a valid deflate stream (or asks for a dictionary)
        OutOfMemory, // zlib could not allocate its state or window
    };

    struct Step
    {
        Status status = Status::NeedsInput;
        std::size_t consumed = 0; // bytes taken from the front of the input
        std::size_t produced = 0; // bytes written to the front of the output
    };

    // Initialises the stream; IsValid() is false when zlib refused (out of memory).
    InflateStream();
    ~InflateStream();
    InflateStream(InflateStream&&) noexcept;
    InflateStream& operator=(InflateStream&&) noexcept;
    InflateStream(const InflateStream&) = delete;
    InflateStream& operator=(const InflateStream&) = delete;

    [[nodiscard]] bool IsValid() const noexcept { return m_stream != nullptr; }

    // A second stream in the same state as this one, window and pending bits included, to go on
    // from here with other input; nothing when zlib could not copy it.
    [[nodiscard]] std::optional<InflateStream> Copy() const;

    // Starts the stream afresh in the middle of deflate data: window stands in for the output
    // that came before (at most 32 KiB), and the low bitCount bits of bits are the first input
    // bits. False when zlib refuses; the stream then reports DataError until the next restart.
    [[nodiscard]] bool RestartMidStream(std::span<const std::uint8_t> window, unsigned bitCount,
                                        unsigned bits);

    // Where a step may stop early: nowhere, or also at every edge between deflate blocks.
    enum class Stop
    {
        WhenDone,
        AtBlockEdges,
    };

    // Runs one inflate call over input into output. Once StreamEnd or DataError has been
    // reported every later call reports the same and touches nothing.
    [[nodiscard]] Step Inflate(std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                               Stop stop = Stop::WhenDone);

    // After a step that stopped at an edge between blocks: how many bits of the last input byte
    // it consumed were not used, being the first bits of the next block (0 to 7). Nothing when
    // the last step ended elsewhere.
    [[nodiscard]] std::optional<unsigned> UnusedBitsAtBlockEdge() const;

private:
    struct Uninitialised
    {};
    explicit InflateStream(Uninitialised);

    void release() noexcept;

    // zlib's state points back at its z_stream, so the stream lives on the heap and never moves.
    // Set only while initialised.
    std::unique_ptr<z_stream_s> m_stream;
    Status m_final = Status::Progress; // StreamEnd or DataError once reached
};

} // namespace zip
