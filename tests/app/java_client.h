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

}  // namespace qm::testing
