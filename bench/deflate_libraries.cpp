// Measures the deflate libraries the encoder could use, on the files named on the command
// line: total compressed bytes and CPU seconds per library and level. zlib runs as the encoder
// runs it (raw deflate, fed in chunks without flushing); libdeflate compresses each file as one
// buffer; ISA-L streams like zlib. Build:
//   g++ -O2 -std=c++20 bench/deflate_libraries.cpp -o /tmp/deflate_libraries -lz -ldeflate -lisal
#include <isa-l/igzip_lib.h>
#include <libdeflate.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Buffer = std::vector<unsigned char>;

std::size_t Zlib(const Buffer& in, int level, Buffer& out) {
  z_stream z{};
  deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  out.resize(deflateBound(&z, in.size()));
  const std::size_t chunk = level <= 3 ? 0x80000 : level >= 7 ? 0x180000 : 0x100000;
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  for (std::size_t at = 0; at < in.size() || in.empty(); at += chunk) {
    const std::size_t n = std::min(chunk, in.size() - at);
    z.next_in = const_cast<Bytef*>(in.data() + at);
    z.avail_in = static_cast<uInt>(n);
    deflate(&z, at + n >= in.size() ? Z_FINISH : Z_NO_FLUSH);
    if (in.empty()) break;
  }
  const std::size_t size = z.total_out;
  deflateEnd(&z);
  return size;
}

std::size_t Libdeflate(const Buffer& in, int level, Buffer& out) {
  libdeflate_compressor* c = libdeflate_alloc_compressor(level);
  out.resize(libdeflate_deflate_compress_bound(c, in.size()));
  const std::size_t size =
      libdeflate_deflate_compress(c, in.data(), in.size(), out.data(), out.size());
  libdeflate_free_compressor(c);
  return size;
}

std::size_t Isal(const Buffer& in, int level, Buffer& out) {
  static const std::size_t kLevelBuf[] = {ISAL_DEF_LVL0_DEFAULT, ISAL_DEF_LVL1_DEFAULT,
                                          ISAL_DEF_LVL2_DEFAULT, ISAL_DEF_LVL3_DEFAULT};
  Buffer level_buf(kLevelBuf[level]);
  isal_zstream s;
  isal_deflate_init(&s);
  s.level = static_cast<uint32_t>(level);
  s.level_buf = level_buf.data();
  s.level_buf_size = static_cast<uint32_t>(level_buf.size());
  out.resize(in.size() + in.size() / 8 + 1024);
  s.next_in = const_cast<unsigned char*>(in.data());
  s.avail_in = static_cast<uint32_t>(in.size());
  s.end_of_stream = 1;
  s.flush = NO_FLUSH;
  s.next_out = out.data();
  s.avail_out = static_cast<uint32_t>(out.size());
  isal_deflate(&s);
  return s.total_out;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<Buffer> files;
  std::size_t total = 0;
  for (int i = 1; i < argc; ++i) {
    std::ifstream f(argv[i], std::ios::binary);
    files.emplace_back(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    total += files.back().size();
  }
  std::printf("%zu files, %zu bytes\n", files.size(), total);
  struct Run {
    const char* name;
    std::size_t (*fn)(const Buffer&, int, Buffer&);
    int level;
  };
  const Run runs[] = {{"zlib", Zlib, 1},
                      {"zlib", Zlib, 2},
                      {"zlib", Zlib, 3},
                      {"zlib", Zlib, 6},
                      {"zlib", Zlib, 9},
                      {"libdeflate", Libdeflate, 1},
                      {"libdeflate", Libdeflate, 2},
                      {"libdeflate", Libdeflate, 6},
                      {"libdeflate", Libdeflate, 9},
                      {"isal", Isal, 1},
                      {"isal", Isal, 2},
                      {"isal", Isal, 3}};
  Buffer out;
  std::vector<std::size_t> zlib1, zlib3;
  for (const Run& r : runs) {
    std::size_t size = 0;
    const auto t0 = std::chrono::steady_clock::now();
    std::vector<std::size_t> sizes;
    for (const Buffer& f : files) sizes.push_back(r.fn(f, r.level, out));
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    for (std::size_t n : sizes) size += n;
    // Files where this run is larger than zlib at levels 1 and 3.
    if (r.fn == Zlib && r.level == 1) zlib1 = sizes;
    if (r.fn == Zlib && r.level == 3) zlib3 = sizes;
    int over1 = 0, over3 = 0;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
      if (i < zlib1.size()) over1 += sizes[i] > zlib1[i];
      if (i < zlib3.size()) over3 += sizes[i] > zlib3[i];
    }
    std::printf(
        "%-10s level %d: %12zu bytes %8.3f s  larger than zlib-1 in %d files, zlib-3 in %d\n",
        r.name, r.level, size, s, over1, over3);
  }
}
