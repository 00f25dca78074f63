#include "zip/dos_time.h"

#include <gtest/gtest.h>

namespace {

struct DosCase
{
    const char* name;
    std::int64_t seconds;
    zip::DosDateTime dos;
};

// 2025-01-01 12:00:00 UTC; 1980-01-01 00:00:00; 2107-12-31 23:59:58; 2024-02-29 23:59:58.
constexpr DosCase RoundTrips[] = {
    {"NewYear2025Noon", 1735732800, {0x5A21, 0x6000}},
    {"FirstDosDay", 315532800, {0x0021, 0x0000}},
    {"LastDosSecond", 4354819198, {0xFF9F, 0xBF7D}},
    {"LeapDay", 1709251198, {0x585D, 0xBF7D}},
};

class DosTimeRoundTrip : public testing::TestWithParam<DosCase>
{};

TEST_P(DosTimeRoundTrip, ConvertsBothWays)
{
    const auto& c = GetParam();
    EXPECT_EQ(zip::unixSecondsToDos(c.seconds), c.dos);
    EXPECT_EQ(zip::dosToUnixSeconds(c.dos), c.seconds);
}

INSTANTIATE_TEST_SUITE_P(Cases, DosTimeRoundTrip, testing::ValuesIn(RoundTrips),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DosTime, OddSecondsRoundDownToEven)
{
    EXPECT_EQ(zip::unixSecondsToDos(1735732801), (zip::DosDateTime{0x5A21, 0x6000}));
}

TEST(DosTime, ClampsYearsOutsideTheDosRange)
{
    EXPECT_EQ(zip::unixSecondsToDos(0), (zip::DosDateTime{0x0021, 0x0000}));
    EXPECT_EQ(zip::unixSecondsToDos(4354819300), (zip::DosDateTime{0xFF9F, 0xBF7D}));
}

TEST(DosTime, RejectsFieldsNoCalendarHas)
{
    EXPECT_FALSE(zip::dosToUnixSeconds({0x0000, 0x0000}).has_value()); // month 0, day 0
    EXPECT_FALSE(zip::dosToUnixSeconds({0x5A21, 0xC000}).has_value()); // hour 24
    EXPECT_FALSE(zip::dosToUnixSeconds({0x5A5E, 0x0000}).has_value()); // 30 February
}

} // namespace
