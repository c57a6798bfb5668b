#include "model/raw_zip.h"

#include <zlib.h>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace qm::archive::model {
namespace {

std::uint32_t Get(const std::string& s, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
  return v;
}

void Put(std::string& s, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

bool Inflate(const std::string& in, std::size_t size, std::string& out) {
  out.assign(size, '\0');
  z_stream z{};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return false;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  const int result = inflate(&z, Z_FINISH);
  const bool whole = result == Z_STREAM_END && z.total_out == size;
  inflateEnd(&z);
  return whole;
}

std::string Deflate(const std::string& in) {
  z_stream z{};
  deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, static_cast<uLong>(in.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// A name as errors show it: very long ones cut short.
std::string Shown(const std::string& name) {
  return name.size() <= 80 ? name
                           : name.substr(0, 40) + "...(" + std::to_string(name.size()) + " bytes)";
}

std::uint32_t Crc(const std::string& data) {
  return static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

}  // namespace

bool ReadRawArchive(const std::filesystem::path& file, RawArchive& archive, std::string& error) {
  std::ifstream in(file, std::ios::binary);
  const std::string s{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  archive = {};
  // The end record: the last signature whose comment length reaches the end of the file.
  std::size_t end = std::string::npos;
  for (std::size_t at = s.size() >= 22 ? s.size() - 22 : std::string::npos;
       at != std::string::npos && at + 22 <= s.size(); --at) {
    if (Get(s, at, 4) == 0x06054B50 && at + 22 + Get(s, at + 20, 2) == s.size()) {
      end = at;
      break;
    }
    if (at == 0) break;
  }
  if (end == std::string::npos) {
    error = "no end record";
    return false;
  }
  const std::uint32_t count = Get(s, end + 10, 2);
  const std::uint32_t dir_size = Get(s, end + 12, 4);
  const std::uint32_t dir_offset = Get(s, end + 16, 4);
  archive.comment = s.substr(end + 22);
  if (static_cast<std::uint64_t>(dir_offset) + dir_size != end) {
    error = "the directory does not end at the end record";
    return false;
  }
  std::size_t at = dir_offset;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (at + 46 > end || Get(s, at, 4) != 0x02014B50) {
      error = "central record " + std::to_string(i) + " missing";
      return false;
    }
    RawEntry e;
    const std::uint32_t method = Get(s, at + 10, 2);
    e.dos_time = (Get(s, at + 14, 2) << 16) | Get(s, at + 12, 2);
    const std::uint32_t crc = Get(s, at + 16, 4);
    const std::uint32_t packed = Get(s, at + 20, 4);
    const std::uint32_t size = Get(s, at + 24, 4);
    const std::uint32_t name_length = Get(s, at + 28, 2);
    const std::uint32_t extra_length = Get(s, at + 30, 2);
    const std::uint32_t comment_length = Get(s, at + 32, 2);
    e.external_attr = Get(s, at + 38, 4);
    const std::uint32_t local = Get(s, at + 42, 4);
    if (at + 46 + name_length + extra_length + comment_length > end) {
      error = "central record " + std::to_string(i) + " runs past the directory";
      return false;
    }
    e.name = s.substr(at + 46, name_length);
    e.comment = s.substr(at + 46 + name_length + extra_length, comment_length);
    at += 46 + name_length + extra_length + comment_length;
    if (local + 30ull > s.size() || Get(s, local, 4) != 0x04034B50) {
      error = Shown(e.name) + ": no local header at " + std::to_string(local);
      return false;
    }
    const std::uint32_t local_name_length = Get(s, local + 26, 2);
    if (s.compare(local + 30, local_name_length, e.name) != 0 || local_name_length != name_length) {
      error = Shown(e.name) + ": the local header names " +
              Shown(s.substr(local + 30, local_name_length));
      return false;
    }
    const std::size_t data_at = local + 30 + local_name_length + Get(s, local + 28, 2);
    if (data_at + packed > dir_offset) {
      error = Shown(e.name) + ": data runs into the directory";
      return false;
    }
    const std::string stored = s.substr(data_at, packed);
    if (method == 0) {
      e.data = stored;
    } else if (method != 8 || !Inflate(stored, size, e.data)) {
      error = Shown(e.name) + ": cannot decode (method " + std::to_string(method) + ")";
      return false;
    }
    if (e.data.size() != size || Crc(e.data) != crc) {
      error = Shown(e.name) + ": size or CRC does not match";
      return false;
    }
    archive.entries.push_back(std::move(e));
  }
  return true;
}

void WriteFixture(const std::filesystem::path& file, const std::vector<FixtureEntry>& entries,
                  const std::vector<std::size_t>& directory_order, const std::string& comment) {
  std::string out;
  std::vector<std::string> central(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const FixtureEntry& e = entries[i];
    const bool ascii = std::all_of(e.name.begin(), e.name.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    const std::uint32_t flags = ascii ? 0 : 0x0800;
    const std::string stored = e.deflate ? Deflate(e.data) : e.data;
    const std::uint32_t offset = static_cast<std::uint32_t>(out.size());
    auto common = [&](std::string& r) {
      Put(r, 20, 2);  // version needed
      Put(r, flags, 2);
      Put(r, e.deflate ? 8 : 0, 2);
      Put(r, e.dos_time & 0xFFFF, 2);
      Put(r, e.dos_time >> 16, 2);
      Put(r, Crc(e.data), 4);
      Put(r, static_cast<std::uint32_t>(stored.size()), 4);
      Put(r, static_cast<std::uint32_t>(e.data.size()), 4);
      Put(r, static_cast<std::uint32_t>(e.name.size()), 2);
      Put(r, 0, 2);  // extra length
    };
    Put(out, 0x04034B50, 4);
    common(out);
    out += e.name;
    out += stored;
    std::string& c = central[i];
    Put(c, 0x02014B50, 4);
    Put(c, 20, 2);  // made by: MS-DOS attributes
    common(c);
    Put(c, static_cast<std::uint32_t>(e.comment.size()), 2);
    Put(c, 0, 2);  // disk
    Put(c, 0, 2);  // internal attributes
    Put(c, e.external_attr, 4);
    Put(c, offset, 4);
    c += e.name;
    c += e.comment;
  }
  const std::uint32_t dir_offset = static_cast<std::uint32_t>(out.size());
  std::vector<std::size_t> order = directory_order;
  if (order.empty()) {
    for (std::size_t i = 0; i < entries.size(); ++i) order.push_back(i);
  }
  for (std::size_t i : order) out += central[i];
  Put(out, 0x06054B50, 4);
  Put(out, 0, 4);
  Put(out, static_cast<std::uint32_t>(order.size()), 2);
  Put(out, static_cast<std::uint32_t>(order.size()), 2);
  Put(out, static_cast<std::uint32_t>(out.size() - dir_offset - 12), 4);
  Put(out, dir_offset, 4);
  Put(out, static_cast<std::uint32_t>(comment.size()), 2);
  out += comment;
  std::ofstream(file, std::ios::binary | std::ios::trunc)
      .write(out.data(), static_cast<std::streamsize>(out.size()));
}

}  // namespace qm::archive::model
