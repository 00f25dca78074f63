// MS-DOS dates and times as ZIP headers carry them: the date in bits 15-9 year since 1980,
// 8-5 month, 4-0 day; the time in bits 15-11 hour, 10-5 minute, 4-0 seconds / 2.
#pragma once

#include <cstdint>
#include <optional>

namespace zip {

struct DosDateTime
{
    std::uint16_t date = 0;
    std::uint16_t time = 0;
    friend bool operator==(const DosDateTime&, const DosDateTime&) = default;
};

// The calendar fields of a DOS date and time read as UTC, in seconds since 1970-01-01 00:00 UTC;
// nullopt for fields no calendar has (month 0 or 13, day 0, hour 24 and so on).
[[nodiscard]] std::optional<std::int64_t> dosToUnixSeconds(DosDateTime dos);

// The calendar fields of a UTC seconds count as a DOS date and time, seconds rounded down to
// even. Years before 1980 give 1980-01-01 00:00:00, years after 2107 2107-12-31 23:59:58.
[[nodiscard]] DosDateTime unixSecondsToDos(std::int64_t seconds);

} // namespace zip
