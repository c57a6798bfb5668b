// Names with control characters: every line qmzip prints shows them escaped (ESC as "^["), so
// a name can neither clear the screen nor hide a warning; the files keep their real names.
#include <gtest/gtest.h>

#include "extract_helpers.h"
#include "qmzip_command.h"

namespace qm::archive::testing {
namespace {

namespace fs = std::filesystem;

// Bytes a terminal would act on: C0 controls other than the line feed, DEL, and C1 controls
// (U+0080 to U+009F, 0xC2 0x80 to 0xC2 0x9F in UTF-8).
std::string RawControls(const std::string& output) {
  std::string found;
  for (std::size_t i = 0; i < output.size(); ++i) {
    const auto c = static_cast<unsigned char>(output[i]);
    const bool c1 =
        c == 0xC2 && i + 1 < output.size() && static_cast<unsigned char>(output[i + 1]) < 0xA0;
    if ((c < 0x20 && c != '\n') || c == 0x7F || c1) found += std::to_string(c) + " ";
  }
  return found;
}

TEST(QmzipControlCharacters, AreEscapedInEveryLineAndKeptOnDisk) {
  ScratchDir dir;
  MustRunPython(
      "import zipfile\n"
      "with zipfile.ZipFile('names.zip', 'w') as z:\n"
      "  z.comment = b'comment\\x1b]0;title\\x07 line\\r\\nnext'\n"
      "  for name in ('esc\\x1b[2Jclear.txt', 'cr\\rhidden.txt', 'bell\\x07\\x7f.txt',\n"
      "               'c1\\u009b31m.txt', 'tab\\there.txt'):\n"
      "    z.writestr(name, b'data')\n"
      "  z.writestr('../\\x1b[8mescape.txt', b'evil')\n"
      "  z.writestr('bad\\x1b[0m.txt', b'x' * 100)\n",
      dir.path());
  MustRun(
      "python3 -c \"import sys; d = bytearray(open('names.zip', 'rb').read());"
      " i = d.rfind(b'x' * 100); d[i + 50] ^= 1; open('names.zip', 'wb').write(d)\"",
      dir.path());

  struct Case {
    const char* args;
    int exit_code;
    std::vector<std::string> shown;
  };
  const Case cases[] = {
      {"list names.zip",
       0,
       {"esc^[[2Jclear.txt", "cr^Mhidden.txt", "bell^G^?.txt", "c1<U+009B>31m.txt", "tab^Ihere.txt",
        "comment^[]0;title^G line\nnext"}},
      // Without a terminal the first failure ends the run.
      {"extract names.zip -d out", 1, {"../^[[8mescape.txt"}},
      {"test names.zip", 1, {"bad^[[0m.txt"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const CommandResult r = Qmzip(dir, c.args);
    EXPECT_EQ(r.exit_code, c.exit_code) << r.output;
    EXPECT_EQ(RawControls(r.output), "") << r.output;
    for (const auto& text : c.shown) EXPECT_NE(r.output.find(text), std::string::npos) << text;
  }
  for (const char* name : {"esc\x1b[2Jclear.txt", "cr\rhidden.txt", "bell\x07\x7f.txt",
                           "c1\xc2\x9b"
                           "31m.txt",
                           "tab\there.txt"}) {
    EXPECT_TRUE(fs::exists(dir / "out" / name)) << name;
  }
}

}  // namespace
}  // namespace qm::archive::testing
