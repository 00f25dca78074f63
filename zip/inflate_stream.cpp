#include "zip/inflate_stream.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <utility>

namespace zip {

namespace {

// Raw deflate data: negative window bits tell zlib there is no header and no trailer.
constexpr int RawDeflateWindowBits = -15;

// zlib counts in uInt; larger spans are handed over in pieces of at most this many bytes.
constexpr std::size_t MaxStepBytes = UINT_MAX;

} // namespace

InflateStream::InflateStream()
{
    auto stream = std::make_unique<z_stream>();
    if (inflateInit2(stream.get(), RawDeflateWindowBits) == Z_OK)
        m_stream = std::move(stream);
}

InflateStream::~InflateStream()
{
    release();
}

InflateStream::InflateStream(InflateStream&& other) noexcept
    : m_stream(std::move(other.m_stream)), m_final(other.m_final)
{
}

InflateStream& InflateStream::operator=(InflateStream&& other) noexcept
{
    if (this != &other) {
        release();
        m_stream = std::move(other.m_stream);
        m_final = other.m_final;
    }
    return *this;
}

bool InflateStream::RestartMidStream(std::span<const std::uint8_t> window, unsigned bitCount,
                                     unsigned bits)
{
    m_final = Status::DataError;
    if (!m_stream || bitCount > 16 || window.size() > (std::size_t{1} << 15))
        return false;
    if (inflateReset2(m_stream.get(), RawDeflateWindowBits) != Z_OK ||
        inflateSetDictionary(m_stream.get(), window.data(), static_cast<uInt>(window.size())) !=
            Z_OK ||
        inflatePrime(m_stream.get(), static_cast<int>(bitCount), static_cast<int>(bits)) != Z_OK)
        return false;
    m_final = Status::Progress;
    return true;
}

InflateStream::InflateStream(Uninitialised) {}

std::optional<InflateStream> InflateStream::Copy() const
{
    if (!m_stream)
        return std::nullopt;
    InflateStream copy{Uninitialised{}};
    auto stream = std::make_unique<z_stream>();
    if (inflateCopy(stream.get(), m_stream.get()) != Z_OK)
        return std::nullopt;
    copy.m_stream = std::move(stream);
    copy.m_final = m_final;
    return copy;
}

void InflateStream::release() noexcept
{
    if (m_stream) {
        (void)inflateEnd(m_stream.get()); // fails only for a stream that was never initialised
        m_stream.reset();
    }
}

std::optional<unsigned> InflateStream::UnusedBitsAtBlockEdge() const
{
    // zlib sets bit 7 of data_type when it stopped right before a block header, the low three
    // bits then counting the unused bits of the last byte it took.
    constexpr int AtEdge = 128;
    constexpr int UnusedBits = 7;
    if (!m_stream || m_final != Status::Progress || (m_stream->data_type & AtEdge) == 0)
        return std::nullopt;
    return static_cast<unsigned>(m_stream->data_type & UnusedBits);
}

InflateStream::Step InflateStream::Inflate(std::span<const std::uint8_t> input,
                                           std::span<std::uint8_t> output, Stop stop)
{
    if (!m_stream)
        return {Status::OutOfMemory, 0, 0};
    if (m_final != Status::Progress)
        return {m_final, 0, 0};

    z_stream& stream = *m_stream;
    const auto inCount = static_cast<uInt>(std::min(input.size(), MaxStepBytes));
    const auto outCount = static_cast<uInt>(std::min(output.size(), MaxStepBytes));
    // zlib never writes through next_in; the cast only satisfies its pre-const interface.
    stream.next_in = const_cast<Bytef*>(input.data());
    stream.avail_in = inCount;
    stream.next_out = output.data();
    stream.avail_out = outCount;
    const int result = inflate(&stream, stop == Stop::AtBlockEdges ? Z_BLOCK : Z_NO_FLUSH);
    Step step;
    step.consumed = inCount - stream.avail_in;
    step.produced = outCount - stream.avail_out;
    stream.next_in = nullptr;
    stream.next_out = nullptr;

    switch (result) {
    case Z_OK:
        step.status = Status::Progress;
        break;
    case Z_STREAM_END:
        step.status = m_final = Status::StreamEnd;
        break;
    case Z_BUF_ERROR: // no progress was possible: the input is used up (or no output room)
        step.status = Status::NeedsInput;
        break;
    case Z_MEM_ERROR:
        step.status = Status::OutOfMemory;
        break;
    default: // Z_DATA_ERROR, Z_NEED_DICT (raw ZIP data has no dictionary), Z_STREAM_ERROR
        step.status = m_final = Status::DataError;
        break;
    }
    return step;
}

} // namespace zip
