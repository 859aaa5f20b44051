#include "lib/timetext.h"

#include <gtest/gtest.h>

#include <regex>

TEST(TimeTexts, HaveTheirFixedForms) {
    EXPECT_TRUE(std::regex_match(TIMETEXT::TimeNow().Text(), std::regex("\\d\\d:\\d\\d:\\d\\d")));
    EXPECT_TRUE(std::regex_match(TIMETEXT::DateNow().Text(), std::regex("\\d{4}-\\d\\d-\\d\\d")));
    struct tm when {};
    when.tm_year = 2021 - 1900;
    when.tm_mon = 2;
    when.tm_mday = 4;
    when.tm_hour = 5;
    when.tm_min = 6;
    when.tm_sec = 7;
    when.tm_isdst = -1;
    EXPECT_STREQ("2021-03-04  05:06:07", TIMETEXT::DateTime(mktime(&when)).Text());
}
