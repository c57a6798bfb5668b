#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "platform/dos_time.h"

namespace qm::platform {
namespace {

class DosTimeInZone : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    if (const char* tz = std::getenv("TZ")) saved_ = tz;
    setenv("TZ", GetParam(), 1);
    tzset();
  }
  void TearDown() override {
    if (saved_.empty()) {
      unsetenv("TZ");
    } else {
      setenv("TZ", saved_.c_str(), 1);
    }
    tzset();
  }
  std::string saved_;
};

TEST_P(DosTimeInZone, LocalTimesRoundTripAtTwoSecondResolution) {
  const DosDateTime moments[] = {
      {1980, 1, 1, 0, 0, 0}, {1999, 12, 31, 23, 59, 58}, {2024, 2, 29, 12, 30, 44},
      {2038, 1, 19, 3, 14, 6}, {2099, 7, 4, 8, 0, 2},
  };
  for (const auto& m : moments) {
    const std::uint32_t packed = PackDosDateTime(m);
    const auto unix_time = DosDateTimeToUnixTime(packed);
    ASSERT_TRUE(unix_time.has_value()) << m.year;
    EXPECT_EQ(UnixTimeToDosDateTime(*unix_time), packed) << m.year;
  }
}

INSTANTIATE_TEST_SUITE_P(Zones, DosTimeInZone,
                         ::testing::Values("UTC0", "CET-1CEST,M3.5.0,M10.5.0/3",
                                           "EST5EDT,M3.2.0,M11.1.0"));

TEST(DosTime, PacksFieldsIntoTheirBits) {
  EXPECT_EQ(PackDosDateTime({1980, 1, 1, 0, 0, 0}), 0x00210000u);
  EXPECT_EQ(PackDosDateTime({2107, 12, 31, 23, 59, 58}), 0xFF9FBF7Du);
  const DosDateTime v = UnpackDosDateTime(0x5A4C6B2Fu);
  EXPECT_EQ(PackDosDateTime(v), 0x5A4C6B2Fu);
}

TEST(DosTime, OddSecondsRoundDownAndOutOfRangeClamps) {
  setenv("TZ", "UTC0", 1);
  tzset();
  EXPECT_EQ(UnixTimeToDosDateTime(1700000001), UnixTimeToDosDateTime(1700000000));
  EXPECT_EQ(UnixTimeToDosDateTime(0), PackDosDateTime({1980, 1, 1, 0, 0, 0}));
  unsetenv("TZ");
  tzset();
}

TEST(DosTime, ValuesNamingNoRealMomentAreRefused) {
  EXPECT_FALSE(DosDateTimeToUnixTime(PackDosDateTime({2020, 0, 1, 0, 0, 0})));
  EXPECT_FALSE(DosDateTimeToUnixTime(PackDosDateTime({2020, 4, 31, 0, 0, 0})));
  EXPECT_FALSE(DosDateTimeToUnixTime(PackDosDateTime({2020, 13, 1, 0, 0, 0})));
  EXPECT_FALSE(DosDateTimeToUnixTime(PackDosDateTime({2020, 1, 1, 24, 0, 0})));
}

}  // namespace
}  // namespace qm::platform
