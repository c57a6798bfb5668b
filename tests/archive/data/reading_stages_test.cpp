// The stages of an item's reading path, each alone or chained on memory streams, with the
// events answered by a recorder instead of a component.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "archive/data/item_data_events.h"
#include "archive/data/read/archive_source.h"
#include "archive/data/read/crc_check.h"
#include "archive/data/read/decipher_stage.h"
#include "archive/data/read/inflate_stage.h"
#include "archive/data/read/length_limit.h"
#include "archive/data/read/output_writer.h"
#include "archive/data/read/partial_window.h"
#include "archive/data/read/stored_stage.h"
#include "platform/memory_stream.h"

namespace qm::archive {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Answers the stages as told and remembers what they said.
struct RecordingEvents final : ItemDataEvents {
  std::vector<std::int64_t> progress;
  std::int64_t cancel_at = -1;  // the Progress call (0-based) that cancels
  int disk_full_calls = 0;
  int disk_full_retries = 0;           // DiskFull answers "try again" this often
  std::vector<std::string> passwords;  // handed out in turn; then the item is skipped
  int password_calls = 0;

  bool Progress(std::int64_t done, std::int64_t) override {
    progress.push_back(done);
    return cancel_at != static_cast<std::int64_t>(progress.size()) - 1;
  }
  bool DiskFull() override { return ++disk_full_calls <= disk_full_retries; }
  bool AskPassword(std::string& password) override {
    if (password_calls >= static_cast<int>(passwords.size())) return false;
    password = passwords[static_cast<std::size_t>(password_calls++)];
    return true;
  }
};

// Collects what reaches it.
struct Collector final : ItemSink {
  Bytes bytes;
  bool Write(std::span<std::uint8_t> data) override {
    bytes.insert(bytes.end(), data.begin(), data.end());
    return true;
  }
};

Bytes Pattern(std::size_t n) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>((i * 7 + i / 251) & 0xFF);
  return b;
}

Bytes RawDeflate(const Bytes& plain, int level = 6) {
  z_stream z{};
  deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  Bytes out(deflateBound(&z, static_cast<uLong>(plain.size())));
  z.next_in = const_cast<Bytef*>(plain.data());
  z.avail_in = static_cast<uInt>(plain.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// Feeds `input` to `first` in pieces of `piece` bytes, as the archive source would.
bool Feed(ItemSink& first, Bytes input, std::size_t piece) {
  for (std::size_t at = 0; at < input.size() && !first.Ended(); at += piece) {
    const std::size_t n = std::min(piece, input.size() - at);
    if (!first.Write(std::span(input.data() + at, n))) return false;
  }
  return true;
}

// A stored block with "hello", then a block of type 3, which does not exist.
Bytes BadBlockType() {
  return {0x00, 0x05, 0x00, 0xFA, 0xFF, 'h', 'e', 'l', 'l', 'o', 0x07, 0x00};
}

// A row of the tables below: a stream, the item's recorded size, the progress call that cancels.
struct InflateCase {
  const char* what;
  Bytes deflated;
  std::int64_t limit;
  std::int64_t cancel_at = -1;
};

TEST(InflateStage, SameBytesWhateverTheInputPieces) {
  const Bytes plain = Pattern(300000);
  const Bytes deflated = RawDeflate(plain);
  for (const std::size_t piece :
       {std::size_t{1}, std::size_t{7}, std::size_t{4096}, deflated.size()}) {
    SCOPED_TRACE(piece);
    RecordingEvents events;
    Collector out;
    InflateStage inflate(out, events, static_cast<std::int64_t>(plain.size()));
    EXPECT_TRUE(Feed(inflate, deflated, piece));
    EXPECT_TRUE(inflate.Ended());
    EXPECT_EQ(out.bytes, plain);
  }
}

TEST(InflateStage, DamagedDataStopsAfterPassingOnWhatCameBefore) {
  const Bytes damaged = BadBlockType();
  for (const std::size_t piece : {std::size_t{1}, damaged.size()}) {
    SCOPED_TRACE(piece);
    RecordingEvents events;
    Collector out;
    InflateStage inflate(out, events, 100);
    EXPECT_FALSE(Feed(inflate, damaged, piece));
    EXPECT_FALSE(inflate.Ended());
    EXPECT_EQ(out.bytes, (Bytes{'h', 'e', 'l', 'l', 'o'}));
  }
}

TEST(InflateStage, CancelFromProgressStopsBeforeInflating) {
  const Bytes plain = Pattern(5000);
  RecordingEvents events;
  events.cancel_at = 0;
  Collector out;
  InflateStage inflate(out, events, static_cast<std::int64_t>(plain.size()));
  EXPECT_FALSE(Feed(inflate, RawDeflate(plain), 1 << 20));
  EXPECT_TRUE(out.bytes.empty());
}

// An item given whole (its deflated size known and all of it in one write) may be inflated in
// one call; what is passed on, in which pieces, the progress and the answer must be those of the
// step-by-step inflater, for sound, damaged, truncated and oversized streams alike.
TEST(InflateStage, WholeItemsGoThroughAsStepByStep) {
  struct Pieces final : ItemSink {
    std::vector<Bytes> pieces;
    bool Write(std::span<std::uint8_t> d) override {
      pieces.emplace_back(d.begin(), d.end());
      return true;
    }
  };
  const Bytes damaged = BadBlockType();
  Bytes truncated = RawDeflate(Pattern(200000));
  truncated.resize(truncated.size() / 2);
  const std::vector<InflateCase> cases = {
      {"empty", RawDeflate({}), 0},
      {"one byte", RawDeflate(Pattern(1)), 1},
      {"one chunk less one", RawDeflate(Pattern((1 << 20) - 1)), (1 << 20) - 1},
      {"one chunk", RawDeflate(Pattern(1 << 20)), 1 << 20},
      {"chunk and a byte", RawDeflate(Pattern((1 << 20) + 1)), (1 << 20) + 1},
      {"several chunks", RawDeflate(Pattern(5 << 19)), 5 << 19},
      {"cancelled on the second step", RawDeflate(Pattern(5 << 19)), 5 << 19, 1},
      {"shorter than recorded", RawDeflate(Pattern(3000)), 4000},
      {"one byte over the record", RawDeflate(Pattern(3001)), 3000},
      {"bomb", RawDeflate(Bytes(3 << 20, 0)), 1000},
      {"past the one-call limit", RawDeflate(Bytes(9 << 20, 1)), 9 << 20},
      {"damaged", damaged, 100},
      {"truncated", truncated, 200000},
  };
  for (const InflateCase& c : cases) {
    SCOPED_TRACE(c.what);
    const auto run = [&](std::int64_t input_size, RecordingEvents& events, Pieces& out) {
      LengthLimit limit(out, c.limit);
      InflateStage inflate(limit, events, c.limit, input_size);
      const bool ok = Feed(inflate, c.deflated, c.deflated.size());
      return std::pair(ok, inflate.Ended());
    };
    RecordingEvents step_events;
    RecordingEvents whole_events;
    step_events.cancel_at = whole_events.cancel_at = c.cancel_at;
    Pieces step_out;
    Pieces whole_out;
    const auto step = run(-1, step_events, step_out);
    const auto whole = run(static_cast<std::int64_t>(c.deflated.size()), whole_events, whole_out);
    EXPECT_EQ(whole, step);
    EXPECT_EQ(whole_events.progress, step_events.progress);
    EXPECT_EQ(whole_out.pieces, step_out.pieces);
  }
}

// Words of a small vocabulary: compresses about as well as text, with long matches.
Bytes Text(std::size_t n, std::uint32_t seed) {
  static const char* const kWords[] = {"archive ", "item ", "deflate ", "the ",  "stream ",
                                       "of ",      "zip ",  "header\n", "data ", "and "};
  Bytes b;
  b.reserve(n);
  while (b.size() < n) {
    seed = seed * 1103515245 + 12345;
    for (const char* w = kWords[(seed >> 16) % 10]; *w != 0 && b.size() < n; ++w) b.push_back(*w);
  }
  return b;
}

// Items whose deflated bytes come in several pieces go step by step; where they can be read
// again, by the faster inflater if one is built in. Whatever inflates them, sound, damaged,
// truncated and oversized streams give the same bytes and the same answer as zlib alone, and
// a progress event comes before every step.
TEST(InflateStage, ItemsInPiecesGiveWhatZlibAloneGives) {
  const Bytes text = Text(3 << 20, 7);
  const Bytes sound = RawDeflate(text, 6);
  const auto flipped = [&](double where, std::uint8_t mask) {
    Bytes b = sound;
    b[static_cast<std::size_t>(static_cast<double>(b.size()) * where)] ^= mask;
    return b;
  };
  Bytes trailing = sound;
  trailing.resize(trailing.size() + 5000, 0xA5);
  Bytes truncated = sound;
  truncated.resize(truncated.size() * 2 / 3);
  const auto size = static_cast<std::int64_t>(text.size());
  const std::vector<InflateCase> cases = {
      {"sound", sound, size},
      {"empty", RawDeflate({}), 0},
      {"one byte", RawDeflate(Pattern(1)), 1},
      {"stored blocks", RawDeflate(Pattern(3 << 20), 0), 3 << 20},
      {"many steps per piece", RawDeflate(Bytes(24 << 20, 'a'), 9), 24 << 20},
      {"cancelled on the third step", sound, size, 2},
      {"trailing garbage", trailing, size},
      {"shorter than recorded", sound, size + 1},
      {"longer than recorded", sound, size - 1},
      {"bomb", RawDeflate(Bytes(12 << 20, 0)), 1000},
      {"truncated", truncated, size},
      {"damaged at once", BadBlockType(), 100},
      {"bit flipped early", flipped(0.01, 0x10), size},
      {"bit flipped in the middle", flipped(0.5, 0x04), size},
      {"byte flipped late", flipped(0.93, 0xFF), size},
      {"bit flipped in the last bytes", flipped(0.9999, 0x01), size},
  };
  struct Run {
    bool ok = false;
    bool ended = false;
    Bytes bytes;
    std::vector<std::int64_t> progress;
    std::size_t writes = 0;
  };
  struct Counting final : ItemSink {
    Run& run;
    explicit Counting(Run& r) : run(r) {}
    bool Write(std::span<std::uint8_t> d) override {
      run.bytes.insert(run.bytes.end(), d.begin(), d.end());
      ++run.writes;
      return true;
    }
  };
  for (const InflateCase& c : cases) {
    for (const std::size_t piece :
         {std::size_t{7777}, std::size_t{1} << 16, std::size_t{1} << 20}) {
      SCOPED_TRACE(std::string(c.what) + ", pieces of " + std::to_string(piece));
      int rereads = 0;
      const auto run_with = [&](bool may_reread) {
        Run run;
        RecordingEvents events;
        events.cancel_at = c.cancel_at;
        Counting out(run);
        LengthLimit limit(out, c.limit);
        DeflatedReread reread;
        if (may_reread) {
          reread = [&](std::int64_t offset, std::span<std::uint8_t> into) {
            ++rereads;
            const auto from = c.deflated.begin() + offset;
            std::copy(from, from + static_cast<std::ptrdiff_t>(into.size()), into.begin());
            return true;
          };
        }
        InflateStage inflate(limit, events, c.limit, static_cast<std::int64_t>(c.deflated.size()),
                             std::move(reread));
        run.ok = Feed(inflate, c.deflated, piece);
        run.ended = inflate.Ended();
        run.progress = events.progress;
        return run;
      };
      const Run zlib = run_with(false);
      const Run fast = run_with(true);
      EXPECT_EQ(fast.ok, zlib.ok);
      EXPECT_EQ(fast.ended, zlib.ended);
      EXPECT_TRUE(std::is_sorted(fast.progress.begin(), fast.progress.end()));
      if (c.cancel_at >= 0) {
        // Where a step ends differs by a few bytes; the cancel stops at once all the same.
        EXPECT_EQ(fast.progress.size(), static_cast<std::size_t>(c.cancel_at) + 1);
        EXPECT_EQ(fast.writes, static_cast<std::size_t>(c.cancel_at));
        continue;
      }
      EXPECT_EQ(fast.bytes.size(), zlib.bytes.size());
      EXPECT_TRUE(fast.bytes == zlib.bytes);
      EXPECT_EQ(fast.progress.empty(), zlib.progress.empty());
      // A sound item's bytes are read once.
      if (zlib.ok && zlib.ended) {
        EXPECT_EQ(rereads, 0);
      }
    }
  }
}

// A bomb: far more data than the record says. The limit lets exactly the recorded size
// through, and the inflater is never given room for more than one byte beyond it.
TEST(LengthLimit, StopsAnItemLongerThanItsRecord) {
  const Bytes plain(3 << 20, 0);
  const Bytes deflated = RawDeflate(plain);
  struct RoomWatch final : ItemSink {
    Collector inner;
    std::size_t largest = 0;
    bool Write(std::span<std::uint8_t> d) override {
      largest = std::max(largest, d.size());
      return inner.Write(d);
    }
  } watch;
  RecordingEvents events;
  LengthLimit limit(watch, 1000);
  InflateStage inflate(limit, events, 1000);
  EXPECT_FALSE(Feed(inflate, deflated, deflated.size()));
  EXPECT_EQ(watch.inner.bytes.size(), 1000U);
  EXPECT_EQ(limit.Produced(), 1000);
  EXPECT_LE(watch.largest, 1000U);
}

TEST(LengthLimit, AnItemOfExactlyItsRecordedSizePasses) {
  Bytes data = Pattern(1000);
  Collector out;
  LengthLimit limit(out, 1000);
  EXPECT_TRUE(limit.Write(std::span(data).first(400)));
  EXPECT_TRUE(limit.Write(std::span(data).subspan(400)));
  EXPECT_EQ(out.bytes, data);
  Bytes one = {1};
  EXPECT_FALSE(limit.Write(one));
  EXPECT_EQ(out.bytes.size(), 1000U);
}

TEST(CrcCheck, MatchesTheCrcOfTheWholeWhateverTheChunks) {
  const Bytes data = Pattern(100000);
  const auto whole = static_cast<std::uint32_t>(::crc32(0, data.data(), 100000));
  Collector out;
  CrcCheck crc(out);
  EXPECT_TRUE(Feed(crc, data, 999));
  EXPECT_TRUE(crc.Matches(whole));
  EXPECT_FALSE(crc.Matches(whole ^ 1));
}

// The CRC inflated ahead stands only for those very bytes passing whole: any other byte, or a
// part of them, has the CRC computed from what actually passed.
TEST(CrcCheck, TakesTheCrcInflatedAheadOnlyForThoseVeryBytes) {
  Bytes ahead_bytes = Pattern(5000);
  Bytes copy = ahead_bytes;
  const auto real = static_cast<std::uint32_t>(::crc32(0, copy.data(), 5000));
  const auto half = static_cast<std::uint32_t>(::crc32(0, copy.data(), 2500));
  constexpr std::uint32_t kTold = 0x12345678;  // what the worker said, taken on trust
  const InflatedAhead ahead{std::span(ahead_bytes), 5001, kTold};
  const std::span<std::uint8_t> own(ahead_bytes);
  const std::span<std::uint8_t> other(copy);
  struct Case {
    const char* label;
    std::vector<std::span<std::uint8_t>> pieces;
    std::uint32_t crc;
  };
  const Case cases[] = {
      {"those bytes in two pieces", {own.first(2500), own.subspan(2500)}, kTold},
      {"a copy of them", {other}, real},
      {"half of them, then the copy's rest", {own.first(2500), other.subspan(2500)}, real},
      {"only half of them", {own.first(2500)}, half},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Collector out;
    CrcCheck crc(out, &ahead);
    for (const auto piece : c.pieces) EXPECT_TRUE(crc.Write(piece));
    EXPECT_EQ(crc.Crc(), c.crc);
  }
}

TEST(StoredStage, TellsProgressPerPieceAndPassesTheChunkWhole) {
  RecordingEvents events;
  Collector out;
  StoredStage stored(out, events, 200000);
  Bytes chunk = Pattern(140000);
  EXPECT_TRUE(stored.Write(chunk));
  Bytes second = Pattern(10);
  EXPECT_TRUE(stored.Write(second));
  EXPECT_EQ(events.progress, (std::vector<std::int64_t>{0xFFFF, 0x1FFFE, 140000, 140010}));
  EXPECT_EQ(out.bytes.size(), 140010U);

  RecordingEvents cancelling;
  cancelling.cancel_at = 1;
  Collector nothing;
  StoredStage cancelled(nothing, cancelling, 200000);
  EXPECT_FALSE(cancelled.Write(chunk));
  EXPECT_TRUE(nothing.bytes.empty());
}

// A memory stream whose first `failures` writes are refused.
class FailingStream final : public platform::MemoryStream {
 public:
  explicit FailingStream(int failures) : failures_(failures) {}
  std::size_t Write(const void* buffer, std::size_t count) override {
    if (failures_ > 0) {
      --failures_;
      // Half lands before the disk fills: the retry must start where the write started.
      return MemoryStream::Write(buffer, count / 2);
    }
    return MemoryStream::Write(buffer, count);
  }

 private:
  int failures_;
};

TEST(OutputWriter, RetriesFromTheSamePositionWhileTheEventsSaySo) {
  struct Case {
    int failures, retries_allowed;
    bool written;
    int disk_full_calls;
  };
  for (const Case& c : {Case{0, 0, true, 0}, Case{2, 2, true, 2}, Case{5, 1, false, 2}}) {
    SCOPED_TRACE(c.failures);
    Bytes data = Pattern(1000);
    FailingStream out(c.failures);
    RecordingEvents events;
    events.disk_full_retries = c.retries_allowed;
    OutputWriter writer(out, events);
    EXPECT_EQ(writer.Write(data), c.written);
    EXPECT_EQ(events.disk_full_calls, c.disk_full_calls);
    if (c.written) {
      EXPECT_EQ(out.Data(), data);
    }
  }
}

TEST(ArchiveSource, ShortArchiveFailsAndEndedStageStopsReading) {
  platform::MemoryStream archive(Pattern(100));
  Collector out;
  EXPECT_FALSE(ArchiveSource(archive, 101).Run(out, {}));

  const Bytes plain = Pattern(5000);
  Bytes stored = RawDeflate(plain);
  stored.resize(stored.size() + 50, 0xEE);  // bytes after the deflate stream's end
  platform::MemoryStream deflated_archive(stored);
  RecordingEvents events;
  Collector inflated;
  InflateStage inflate(inflated, events, 5000);
  EXPECT_TRUE(
      ArchiveSource(deflated_archive, static_cast<std::int64_t>(stored.size())).Run(inflate, {}));
  EXPECT_EQ(inflated.bytes, plain);
}

// The window of ExtractToBuffer: what the output holds, and where it stands, once covered.
TEST(PartialWindow, OutputStandsAtTheWindowAfterChunks) {
  struct Case {
    std::int64_t start, count;
    std::vector<std::int64_t> chunks;  // bytes made by each chunk
    std::int64_t chunks_taken;         // until the window is covered
    std::int64_t position;             // where the output stands then
  };
  const Case cases[] = {
      {0, 10, {100, 100}, 1, 100},   // start 0: the output is left where it is
      {150, 10, {100, 100}, 2, 50},  // inside the second chunk: the first is written over
      {50, 100, {100, 100}, 2, 50},  // spans both chunks: nothing is written over
      {250, 10, {100, 100}, 2, -1},  // beyond the item: never covered
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.start);
    platform::MemoryStream out;
    PartialWindow window(out, c.start, c.count);
    std::int64_t made = 0;
    std::int64_t taken = 0;
    bool covered = false;
    for (const std::int64_t n : c.chunks) {
      const Bytes bytes = Pattern(static_cast<std::size_t>(n));
      out.WriteBuffer(bytes.data(), bytes.size());
      ++taken;
      covered = window.AfterChunk(made, made + n);
      made += n;
      if (covered) break;
    }
    EXPECT_EQ(taken, c.chunks_taken);
    if (c.position >= 0) {
      EXPECT_TRUE(covered);
      EXPECT_EQ(out.Position(), c.position);
    } else {
      EXPECT_FALSE(covered);
    }
  }
}

// A cipher whose one password is "right" and which adds 1 to every byte it deciphers.
class PlusOneDecipher final : public ItemDecipher {
 public:
  std::int64_t HeaderSize() const override { return 2; }
  std::int64_t TrailerSize() const override { return 0; }
  bool CheckPassword(platform::Stream& archive, const std::string& password) override {
    std::uint8_t header[2];
    archive.ReadBuffer(header, 2);
    ++checks;
    return password == "right";
  }
  void Decrypt(std::span<std::uint8_t> chunk) override {
    for (std::uint8_t& b : chunk) ++b;
  }
  bool Verify(platform::Stream&, const DirItem&, std::uint32_t) override { return true; }
  int checks = 0;
};

TEST(DecipherStage, AsksUntilAPasswordOpensAndReadsTheHeaderEachTime) {
  platform::MemoryStream archive(Bytes{9, 9, 1, 2, 3});
  PlusOneDecipher decipher;
  RecordingEvents events;
  events.passwords = {"wrong", "right"};
  ASSERT_TRUE(OpenWithPassword(decipher, archive, "", events));
  EXPECT_EQ(decipher.checks, 3);
  EXPECT_EQ(archive.Position(), 2);

  Collector out;
  DecipherStage stage(out, decipher);
  EXPECT_TRUE(ArchiveSource(archive, 3).Run(stage, {}));
  EXPECT_EQ(out.bytes, (Bytes{2, 3, 4}));

  PlusOneDecipher skipped;
  RecordingEvents no_more;
  archive.SetPosition(0);
  EXPECT_FALSE(OpenWithPassword(skipped, archive, "wrong", no_more));
  EXPECT_EQ(skipped.checks, 1);
}

}  // namespace
}  // namespace qm::archive
