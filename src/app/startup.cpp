#include "app/startup.h"

#include "platform/text.h"

namespace qm::app {
namespace {

std::u16string InnermostMessage(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::nested_exception& nested) {
    if (nested.nested_ptr()) return InnermostMessage(nested.nested_ptr());
    const auto* self = dynamic_cast<const std::exception*>(&nested);
    return self ? platform::Utf8ToUtf16(self->what()) : std::u16string();
  } catch (const std::exception& e) {
    return platform::Utf8ToUtf16(e.what());
  } catch (...) {
    return u"Unknown error";
  }
}

}  // namespace

std::u16string ApplicationTitle(const std::u16string& program_path) {
  const auto slash = program_path.find_last_of(u"/\\");
  std::u16string title =
      slash == std::u16string::npos ? program_path : program_path.substr(slash + 1);
  title = title.substr(0, title.find(u'.'));
  if (title.size() > 1) title = title.substr(0, 1) + platform::AsciiLower(title.substr(1));
  return title;
}

bool HasVersionSwitch(const std::vector<std::u16string>& arguments) {
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    if (platform::AsciiLower(arguments[i]) == u"/acver") return true;
  }
  return false;
}

std::u16string ExceptionDisplayText(std::exception_ptr error) {
  std::u16string text = InnermostMessage(error);
  if (!text.empty() && text.back() > u'.') text += u'.';
  return text;
}

}  // namespace qm::app
