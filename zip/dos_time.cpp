#include "zip/dos_time.h"

#include <chrono>

namespace zip {

namespace {

using namespace std::chrono;

constexpr int DosFirstYear = 1980;
constexpr int DosLastYear = 2107;

} // namespace

std::optional<std::int64_t> dosToUnixSeconds(DosDateTime dos)
{
    const int year = DosFirstYear + (dos.date >> 9);
    const unsigned month = (dos.date >> 5) & 0x0Fu;
    const unsigned day = dos.date & 0x1Fu;
    const int hour = dos.time >> 11;
    const int minute = (dos.time >> 5) & 0x3F;
    const int second = (dos.time & 0x1F) * 2;
    const year_month_day date{std::chrono::year(year), std::chrono::month(month),
                              std::chrono::day(day)};
    if (!date.ok() || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    const auto at = sys_days(date) + hours(hour) + minutes(minute) + seconds(second);
    return static_cast<std::int64_t>(at.time_since_epoch().count());
}

DosDateTime unixSecondsToDos(std::int64_t secondsSinceEpoch)
{
    const sys_seconds at{seconds(secondsSinceEpoch)};
    const auto day = floor<days>(at);
    const year_month_day date{day};
    const int year = static_cast<int>(date.year());
    if (year < DosFirstYear)
        return {static_cast<std::uint16_t>((1u << 5) | 1u), 0};
    if (year > DosLastYear)
        return {static_cast<std::uint16_t>(((DosLastYear - DosFirstYear) << 9) | (12u << 5) | 31u),
                static_cast<std::uint16_t>((23u << 11) | (59u << 5) | 29u)};
    const hh_mm_ss time{at - day};
    DosDateTime dos;
    dos.date = static_cast<std::uint16_t>(((year - DosFirstYear) << 9) |
                                          (static_cast<unsigned>(date.month()) << 5) |
                                          static_cast<unsigned>(date.day()));
    dos.time =
        static_cast<std::uint16_t>((time.hours().count() << 11) | (time.minutes().count() << 5) |
                                   (time.seconds().count() / 2));
    return dos;
}

} // namespace zip
