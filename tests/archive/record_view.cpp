#include "record_view.h"

#include <gtest/gtest.h>

#include <sstream>

#include "fixture_tools.h"

namespace qm::archive::testing {
namespace {

std::string Unhex(const std::string& hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return out;
}

}  // namespace

std::map<std::string, RecordDigest> RecordDigests(const std::filesystem::path& archive) {
  const std::string script = std::string(QM_SOURCE_DIR) + "/tests/archive/record_view.py";
  const CommandResult r =
      RunShell("python3 '" + script + "' '" + archive.string() + "'", archive.parent_path());
  EXPECT_EQ(r.exit_code, 0) << r.output;
  std::map<std::string, RecordDigest> out;
  std::istringstream in(r.output);
  std::string name, local, data, central;
  while (in >> name >> local >> data >> central) {
    out[Unhex(name)] = RecordDigest{local, data, central};
  }
  return out;
}

std::string ToolsFindFault(const std::filesystem::path& archive) {
  const std::string a = "'" + archive.string() + "'";
  const std::filesystem::path dir = archive.parent_path();
  std::string faults;
  for (const std::string& command :
       {"unzip -tqq " + a, "7zz t " + a + " >/dev/null",
        "python3 -c 'import sys,zipfile; z=zipfile.ZipFile(sys.argv[1]); "
        "sys.exit(1 if z.testzip() else 0)' " +
            a}) {
    const CommandResult r = RunShell(command, dir);
    if (r.exit_code != 0) faults += command + ": " + r.output + "\n";
  }
  return faults;
}

}  // namespace qm::archive::testing
