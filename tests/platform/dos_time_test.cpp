#include "platform/dos_time.h"

#include <gtest/gtest.h>

namespace qm::platform {
namespace {

TEST(DosTime, PacksFieldsIntoTheirBits) {
  EXPECT_EQ(PackDosDateTime({1980, 1, 1, 0, 0, 0}), 0x00210000u);
  EXPECT_EQ(PackDosDateTime({2107, 12, 31, 23, 59, 58}), 0xFF9FBF7Du);
  const DosDateTime v = UnpackDosDateTime(0x5A4C6B2Fu);
  EXPECT_EQ(PackDosDateTime(v), 0x5A4C6B2Fu);
}

TEST(DosTime, LocalTimesRoundTripInTheSystemZone) {
  const DosDateTime moments[] = {
      {1999, 12, 31, 23, 59, 58}, {2024, 2, 29, 12, 30, 44}, {2024, 7, 14, 9, 5, 0}};
  for (const auto& m : moments) {
    const std::uint32_t packed = PackDosDateTime(m);
    const auto unix_time = DosDateTimeToUnixTime(packed);
    ASSERT_TRUE(unix_time.has_value()) << m.year;
    EXPECT_EQ(UnixTimeToDosDateTime(*unix_time), packed) << m.year;
  }
}

TEST(DosTime, ValuesNamingNoRealMomentAreRefused) {
  EXPECT_FALSE(DosDateTimeToUnixTime(PackDosDateTime({2020, 0, 1, 0, 0, 0})));
  EXPECT_FALSE(DosDateTimeToUnixTime(PackDosDateTime({2020, 4, 31, 0, 0, 0})));
  EXPECT_FALSE(DosDateTimeToUnixTime(PackDosDateTime({2020, 13, 1, 0, 0, 0})));
  EXPECT_FALSE(DosDateTimeToUnixTime(PackDosDateTime({2020, 1, 1, 24, 0, 0})));
}

}  // namespace
}  // namespace qm::platform
