#pragma once

#include <filesystem>
#include <string>

namespace qm::testing {

// Compiles the client's applet class with javac into `classes_dir` (package folders
// net/quillmark/client below it). Its constant pool holds "Quillmark main thread" directly
// followed by the player name (two values of one annotation element come out adjacent), and
// its main method prints the name as UTF-8. Answers the class file's path.
std::filesystem::path CompileAppletClass(const std::filesystem::path& classes_dir,
                                         const std::string& player_name);

// Runs the compiled applet from `classes_dir` and answers what it printed, without the newline.
std::string RunApplet(const std::filesystem::path& classes_dir);

// Builds the client as the game installs it: `jar_path`, a jar holding the applet class with
// the player name, `packages` packages of 40 other classes each and resource files in folders
// (text and binary). The sources stay in a folder beside the jar.
void BuildClientJar(const std::filesystem::path& jar_path, const std::string& player_name,
                    int packages = 8);

// True when `dir` holds every entry of the archive with exactly the bytes Python's zipfile
// reads from it (folders as folders); `report` says what differs.
bool DirectoryMatchesArchive(const std::filesystem::path& archive, const std::filesystem::path& dir,
                             std::string* report = nullptr);

}  // namespace qm::testing
