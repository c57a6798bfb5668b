// The compression worker: its thread starts with the first source and ends with the worker,
// once per commit. Many workers that come and go, at every level, must compress exactly what
// the caller's thread compresses alone, and leave nothing behind that a later thread trips on.
// (The Windows build once ran the destructors of each ending thread's kept compressors on
// memory already freed; the test programs there run with freed memory poisoned, so that shows
// at the first thread's end.)
#include "archive/data/codecs/compression_worker.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "archive/data/codecs/whole_deflate.h"
#include "archive/data/write/crc_stage.h"
#include "archive/data/write/whole_source.h"

namespace qm::archive {
namespace {

std::vector<unsigned char> Text(std::mt19937& random, std::size_t size) {
  static const char* const kWords[] = {"quill ", "mark ", "zip ", "deflate ", "\n"};
  std::vector<unsigned char> bytes;
  while (bytes.size() < size) {
    for (const char* c = kWords[random() % std::size(kWords)]; *c != 0; ++c) bytes.push_back(*c);
  }
  bytes.resize(size);
  return bytes;
}

TEST(CompressionWorker, WorkersThatComeAndGoCompressWhatTheCallerCompressesAlone) {
  std::mt19937 random(42);
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE("worker " + std::to_string(round));
    std::vector<std::shared_ptr<WholeSource>> sources;
    {
      CompressionWorker worker;
      for (int i = 0; i < 6; ++i) {
        auto source = std::make_shared<WholeSource>();
        source->mode = static_cast<std::uint8_t>(1 + random() % 9);
        source->bytes = Text(random, random() % 40000);
        sources.push_back(source);
        worker.Submit(source);
      }
      // Every other source is waited for; the rest are left to the worker's end.
      for (std::size_t i = 0; i < sources.size(); i += 2) worker.Finish(sources[i]);
    }
    for (std::size_t i = 0; i < sources.size(); i += 2) {
      const WholeSource& source = *sources[i];
      ASSERT_FALSE(source.failure);
      WholeDeflate alone(source.mode);
      const auto expected = alone.Compress(source.bytes);
      EXPECT_TRUE(std::equal(expected.begin(), expected.end(), source.compressed.begin(),
                             source.compressed.end()));
      CrcStage crc;
      crc.Add(source.bytes);
      EXPECT_EQ(source.crc32, crc.Value());
    }
  }
}

}  // namespace
}  // namespace qm::archive
