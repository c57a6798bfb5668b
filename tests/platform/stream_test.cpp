#include <gtest/gtest.h>

#include "platform/file_mode.h"
#include "platform/file_stream.h"
#include "platform/memory_stream.h"
#include "platform/platform.h"
#include "platform/stream_errors.h"
#include "platform/text.h"
#include "support/temp_dir.h"

namespace qm::platform {
namespace {

using testing::TempDir;

TEST(FileStream, FailuresNameTheExpandedPathAndTheSystemText) {
  TempDir dir;
  const std::u16string relative = u"no/such/../file.bin";
  try {
    FileStream stream(dir.u16() + u"/" + relative, file_mode::kRead);
    FAIL() << "opened a missing file";
  } catch (const FileOpenError& e) {
    const std::string sep = Utf16ToUtf8(std::u16string(1, kPathSeparator));
    const std::string expected_start =
        "Cannot open file \"" + dir.path().string() + sep + "no" + sep + "file.bin\". ";
    const std::string message = e.what();
    EXPECT_TRUE(message.starts_with(expected_start)) << message;
    EXPECT_GT(message.size(), expected_start.size()) << "the system's text is missing";
  }
  try {
    FileStream stream(dir.u16("missing-folder/x"), file_mode::kCreate);
    FAIL() << "created a file in a missing folder";
  } catch (const FileCreateError& e) {
    EXPECT_TRUE(std::string(e.what()).starts_with("Cannot create file \"" + dir.path().string()));
  }
}

TEST(FileStream, WritesReadsSeeksAndTruncates) {
  TempDir dir;
  {
    FileStream out(dir.u16("f"), file_mode::kCreate);
    out.WriteBuffer("hello world", 11);
    EXPECT_EQ(out.Size(), 11);
    out.SetSize(5);
    EXPECT_EQ(out.Position(), 5);
    out.Flush();
  }
  FileStream in(dir.u16("f"), file_mode::kRead);
  char buffer[8] = {};
  in.Seek(-3, Stream::Origin::kEnd);
  EXPECT_EQ(in.Read(buffer, sizeof buffer), 3u);
  EXPECT_EQ(std::string(buffer, 3), "llo");
  EXPECT_THROW(in.ReadBuffer(buffer, 1), ReadError);
  EXPECT_THROW(in.WriteBuffer("x", 1), WriteError);
}

TEST(MemoryStream, GrowsOnWriteAndFillsGapsWithZeros) {
  MemoryStream stream;
  stream.Seek(3, Stream::Origin::kBegin);
  stream.WriteBuffer("ab", 2);
  EXPECT_EQ(stream.ToString(), std::string("\0\0\0ab", 5));
  stream.SetPosition(1);
  char c[2];
  stream.ReadBuffer(c, 2);
  EXPECT_EQ(stream.Position(), 3);
  stream.SetSize(2);
  EXPECT_EQ(stream.Position(), 2);
  EXPECT_EQ(stream.Read(c, 2), 0u);
  EXPECT_THROW(stream.Seek(-1, Stream::Origin::kBegin), StreamError);
}

TEST(NullStream, CountsWhatItSwallows) {
  NullStream stream;
  stream.WriteBuffer("abcdef", 6);
  EXPECT_EQ(stream.Size(), 6);
  stream.Seek(-2, Stream::Origin::kCurrent);
  stream.WriteBuffer("x", 1);
  EXPECT_EQ(stream.Size(), 6);
  EXPECT_EQ(stream.Position(), 5);
}

TEST(Stream, CopyFromTakesTheWholeSourceWhenCountIsZero) {
  MemoryStream source(std::vector<unsigned char>(200000, 7));
  source.SetPosition(100);
  MemoryStream target;
  EXPECT_EQ(target.CopyFrom(source, 0), 200000);
  EXPECT_EQ(target.Data(), source.Data());
  source.SetPosition(199990);
  EXPECT_THROW(target.CopyFrom(source, 11), ReadError);
}

}  // namespace
}  // namespace qm::platform
