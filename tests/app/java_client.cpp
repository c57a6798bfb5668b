#include "java_client.h"

#include <stdexcept>

#include "support/temp_dir.h"

namespace qm::testing {

namespace fs = std::filesystem;

fs::path CompileAppletClass(const fs::path& classes_dir, const std::string& player_name) {
  const fs::path source_dir = classes_dir.parent_path() / "java-src";
  const fs::path source = source_dir / "net/quillmark/client/QuillmarkApplet.java";
  WriteFileBytes(source,
                 "package net.quillmark.client;\n"
                 "import java.lang.annotation.*;\n"
                 "@Retention(RetentionPolicy.RUNTIME) @interface Strings { String[] value(); }\n"
                 "@Strings({\"Quillmark main thread\", \"" + player_name + "\"})\n"
                 "public class QuillmarkApplet {\n"
                 "  public static void main(String[] args) throws Exception {\n"
                 "    String name = QuillmarkApplet.class.getAnnotation(Strings.class).value()[1];\n"
                 "    new java.io.PrintStream(System.out, true, \"UTF-8\").println(name);\n"
                 "  }\n"
                 "}\n");
  std::string output;
  if (RunCommand("javac -encoding UTF-8 -d '" + classes_dir.string() + "' '" + source.string() + "'",
                 &output) != 0) {
    throw std::runtime_error("javac failed: " + output);
  }
  return classes_dir / "net/quillmark/client/QuillmarkApplet.class";
}

std::string RunApplet(const fs::path& classes_dir) {
  std::string output;
  const int status =
      RunCommand("java -cp '" + classes_dir.string() + "' net.quillmark.client.QuillmarkApplet", &output);
  if (status != 0) return "java failed: " + output;
  while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
  return output;
}

}  // namespace qm::testing
