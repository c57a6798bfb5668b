#include "archive/names/path_rules.h"

#include <algorithm>

#include "platform/file_attributes.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace qm::archive {
namespace {

using platform::kPathSeparator;
using platform::Platform;

bool IsDriveOrServerName(const std::u16string& name) {
  if (!PlatformHasDrives()) return false;
  return name.find(u':') != std::u16string::npos || name.starts_with(u"\\\\");
}

std::u16string WithSeparator(std::u16string path) {
  if (!path.ends_with(kPathSeparator)) path += kPathSeparator;
  return path;
}

}  // namespace

bool PlatformHasDrives() {
  return kPathSeparator == u'\\';
}

std::u16string BaseFolder(const std::u16string& base, const std::u16string& cur_dir) {
  return WithSeparator(base.empty() ? cur_dir : base);
}

std::u16string ResolvePath(const std::u16string& base, const std::u16string& name,
                           const std::u16string& cur_dir) {
  Platform& os = Platform::Current();
  const std::u16string current = cur_dir.empty() ? os.CurrentDirectory() : cur_dir;
  const std::u16string dir = BaseFolder(base, current);
  if (IsDriveOrServerName(name)) return name;
  if (!name.empty()) {
    return name.front() == kPathSeparator ? os.ExpandPath(name) : os.ExpandPath(dir + name);
  }
  if (IsDriveOrServerName(base)) return base;
  const auto attributes = os.GetAttributes(dir);
  const bool is_folder =
      attributes != platform::attr::kInvalid && (attributes & platform::attr::kDirectory) != 0;
  if (!base.empty() && !is_folder) return base;
  if (dir != std::u16string(1, kPathSeparator)) return os.ExpandPath(dir);
  return WithSeparator(os.CurrentDirectory());
}

bool IsRemovableDrive(const std::u16string& file_name) {
  std::u16string drive = file_name;
  if (PlatformHasDrives() && file_name.size() >= 2 && file_name[1] == u':') {
    drive = platform::AsciiUpper(file_name.substr(0, 2));
    if (drive == u"A:" || drive == u"B:") return true;
  }
  return Platform::Current().GetDriveType(drive) == platform::DriveType::kRemovable;
}

bool IsCompletePath(std::u16string_view name) {
  if (name.empty()) return false;
  if (name.front() == u'/' || name.front() == kPathSeparator) return true;
  return PlatformHasDrives() &&
         (name.find(u':') != std::u16string_view::npos || name.starts_with(u"\\\\"));
}

std::size_t LastSeparator(std::u16string_view path) {
  return path.find_last_of(std::u16string{u'/', platform::kPathSeparator});
}

bool LeadsOutside(std::u16string_view name) {
  if (IsCompletePath(name)) return true;
  int depth = 0;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = start;
    while (end < name.size() && name[end] != u'/' && name[end] != kPathSeparator) ++end;
    const std::u16string_view part = name.substr(start, end - start);
    if (part == u"..") {
      if (--depth < 0) return true;
    } else if (!part.empty() && part != u".") {
      ++depth;
    }
    start = end + 1;
  }
  return false;
}

std::u16string ForCallers(std::u16string stored_name) {
  std::replace(stored_name.begin(), stored_name.end(), u'/', kPathSeparator);
  return stored_name;
}

}  // namespace qm::archive
