#include "app/startup.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "archive/archive_error.h"

namespace qm::app {
namespace {

TEST(VersionSwitch, MatchesTheWordInAnyCaseButNothingElse) {
  struct Case {
    std::vector<std::u16string> args;
    bool shown;
  };
  const Case cases[] = {
      {{u"prog", u"/acver"}, true}, {{u"prog", u"/ACVER"}, true},
      {{u"prog", u"/AcVeR"}, true}, {{u"prog", u"x", u"/acver", u"/acver"}, true},
      {{u"prog", u"acver"}, false}, {{u"prog", u"/acver2"}, false},
      {{u"prog"}, false},           {{u"/acver"}, false},  // the program's own name
  };
  for (const auto& c : cases) EXPECT_EQ(HasVersionSwitch(c.args), c.shown);
}

TEST(ApplicationTitle, IsTheProgramNameUpToTheFirstDotInLowerCaseAfterTheFirstLetter) {
  EXPECT_EQ(ApplicationTitle(u"/opt/qm/quillmark-name-changer"), u"quillmark-name-changer");
  EXPECT_EQ(ApplicationTitle(u"C:\\Tools\\QMNAMECHANGER.EXE"), u"Qmnamechanger");
  EXPECT_EQ(ApplicationTitle(u"NameChanger.v2.exe"), u"Namechanger");
}

TEST(ExceptionDisplayText, AppendsAFullStopAfterCharactersAboveIt) {
  struct Case {
    std::string message, shown;
  };
  const Case cases[] = {
      {"Disk error", "Disk error."},
      {"Done.", "Done."},
      {"Cannot open file \"x\"", "Cannot open file \"x\""},  // '"' sorts below '.'
      {"Is it?", "Is it?."},
      {"Count 7", "Count 7."},
      {"", ""},
      {"ends with space ", "ends with space "},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExceptionDisplayText(std::make_exception_ptr(std::runtime_error(c.message))),
              std::u16string(c.shown.begin(), c.shown.end()));
  }
}

TEST(ExceptionDisplayText, ShowsTheInnermostOfNestedExceptions) {
  std::exception_ptr error;
  try {
    try {
      throw archive::ArchiveError(13, u"Archiver1");
    } catch (...) {
      std::throw_with_nested(std::runtime_error("outer"));
    }
  } catch (...) {
    error = std::current_exception();
  }
  EXPECT_EQ(ExceptionDisplayText(error), u"Archiver1: Archive is not open - Native error: 00013.");
}

}  // namespace
}  // namespace qm::app
