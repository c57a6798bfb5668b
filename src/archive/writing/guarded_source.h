#pragma once

#include <string>

#include "archive/archive_error.h"
#include "platform/stream.h"
#include "platform/stream_errors.h"

namespace qm::archive {

// A source being added, as the encoder reads it. A source that cannot be read any more (a file
// that vanished or a device that went away mid-commit) is the item's failure, not the archive's:
// its stream errors become an ArchiveError (`kCannotOpenSource`, naming the source), which the
// commit offers to OnProcessFileFailure, while failures writing the archive still roll the commit
// back.
class GuardedSource final : public platform::Stream {
 public:
  GuardedSource(platform::Stream& source, std::u16string name, std::u16string component_name)
      : source_(source), name_(std::move(name)), component_name_(std::move(component_name)) {}

  template <typename Call>
  auto Guard(Call call) -> decltype(call()) {
    try {
      return call();
    } catch (const platform::StreamError&) {
      throw ArchiveError(ErrorSite::kCannotOpenSource, {name_}, component_name_);
    }
  }

  std::size_t Read(void* buffer, std::size_t count) override {
    return Guard([&] { return source_.Read(buffer, count); });
  }
  std::size_t Write(const void*, std::size_t) override { return 0; }
  std::int64_t Seek(std::int64_t offset, Origin origin) override {
    return Guard([&] { return source_.Seek(offset, origin); });
  }
  void SetSize(std::int64_t) override {}
  std::int64_t Size() override {
    return Guard([&] { return source_.Size(); });
  }

 private:
  platform::Stream& source_;
  std::u16string name_;
  std::u16string component_name_;
};

}  // namespace qm::archive
