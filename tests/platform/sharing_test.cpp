#include <gtest/gtest.h>

#include "platform/file_mode.h"
#include "platform/platform.h"
#include "support/temp_dir.h"

namespace qm::platform {
namespace {

// Two opens of one file inside this process, the way the archive component and the name
// changer fall back: a second opener is refused when either side's sharing forbids the other's
// access.
TEST(Sharing, SecondOpenIsRefusedExactlyWhenTheModesConflict) {
  struct Case {
    std::uint16_t first, second;
    bool allowed;
  };
  const Case cases[] = {
      {0x0000, 0x0040, false},  // read, no sharing: nobody else
      {0x0040, 0x0040, true},   // read, full sharing: another reader
      {0x0040, 0x0042, true},   // ... and a writer
      {0x0022, 0x0040, true},   // read-write denying write: a sharing reader may come
      {0x0022, 0x0042, false},  // ... but no writer
      {0x0022, 0x0022, false},  // nor another opener that writes
      {0x0040, 0x0022, true},   // a sharing reader does not stop a deny-write writer
      {0x0042, 0x0022, false},  // a writer does
      {0x0040, 0x0000, false},  // an exclusive opener needs the file to itself
      {0x0040, 0x0030, false},  // deny-read after a reader
      {0x0041, 0x0030, true},   // deny-read after a mere writer
      {0xFF00, 0x0040, false},  // a file being created is held
  };
  testing::TempDir dir;
  testing::WriteFileBytes(dir / "f", "data");
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << c.first << " then " << c.second);
    std::error_code error;
    auto first = Platform::Current().OpenFile(dir.u16("f"), c.first, error);
    ASSERT_NE(first, nullptr) << error.message();
    auto second = Platform::Current().OpenFile(dir.u16("f"), c.second, error);
    EXPECT_EQ(second != nullptr, c.allowed);
  }
}

TEST(Sharing, ClosingReleasesTheFile) {
  testing::TempDir dir;
  testing::WriteFileBytes(dir / "f", "data");
  std::error_code error;
  {
    auto exclusive = Platform::Current().OpenFile(dir.u16("f"), 0x0012, error);
    ASSERT_NE(exclusive, nullptr);
    EXPECT_EQ(Platform::Current().OpenFile(dir.u16("f"), 0x0040, error), nullptr);
  }
  EXPECT_NE(Platform::Current().OpenFile(dir.u16("f"), 0x0012, error), nullptr);
}

TEST(Sharing, CreateEmptiesOnlyAfterTheSharingTestPassed) {
  testing::TempDir dir;
  testing::WriteFileBytes(dir / "f", "keep me");
  std::error_code error;
  auto holder = Platform::Current().OpenFile(dir.u16("f"), 0x0000, error);
  ASSERT_NE(holder, nullptr);
  EXPECT_EQ(Platform::Current().OpenFile(dir.u16("f"), file_mode::kCreate, error), nullptr);
  holder.reset();  // it denies reading to everyone else, the check below included
  EXPECT_EQ(testing::ReadFileBytes(dir / "f"), "keep me");
}

}  // namespace
}  // namespace qm::platform
