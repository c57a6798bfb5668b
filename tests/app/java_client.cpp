#include "java_client.h"

#include <stdexcept>

#include "support/temp_dir.h"

namespace qm::testing {

namespace fs = std::filesystem;

namespace {

// Writes the applet's source below `source_dir` and answers its path.
fs::path WriteAppletSource(const fs::path& source_dir, const std::string& player_name) {
  const fs::path source = source_dir / "net/quillmark/client/QuillmarkApplet.java";
  WriteFileBytes(
      source,
      "package net.quillmark.client;\n"
      "import java.lang.annotation.*;\n"
      "@Retention(RetentionPolicy.RUNTIME) @interface Strings { String[] value(); }\n"
      "@Strings({\"Quillmark main thread\", \"" +
          player_name +
          "\"})\n"
          "public class QuillmarkApplet {\n"
          "  public static void main(String[] args) throws Exception {\n"
          "    String name = QuillmarkApplet.class.getAnnotation(Strings.class).value()[1];\n"
          "    new java.io.PrintStream(System.out, true, \"UTF-8\").println(name);\n"
          "  }\n"
          "}\n");
  return source;
}

// One javac run for all sources: the compiler's start-up is most of the time spent.
void Compile(const fs::path& classes_dir, const std::string& quoted_sources) {
  std::string output;
  if (RunCommand("javac -encoding UTF-8 -d '" + classes_dir.string() + "'" + quoted_sources,
                 &output) != 0) {
    throw std::runtime_error("javac failed: " + output);
  }
}

}  // namespace

fs::path CompileAppletClass(const fs::path& classes_dir, const std::string& player_name) {
  const fs::path source = WriteAppletSource(classes_dir.parent_path() / "java-src", player_name);
  Compile(classes_dir, " '" + source.string() + "'");
  return classes_dir / "net/quillmark/client/QuillmarkApplet.class";
}

std::string RunApplet(const fs::path& classes_dir) {
  std::string output;
  // From inside the folder: the Unix name Wine gives a Windows path runs through
  // "dosdevices/c:", and a ':' would split a class path in two.
  const int status = RunCommand(
      "cd '" + classes_dir.string() + "' && java -cp . net.quillmark.client.QuillmarkApplet",
      &output);
  if (status != 0) return "java failed: " + output;
  while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
  return output;
}

void BuildClientJar(const fs::path& jar_path, const std::string& player_name, int packages) {
  const fs::path work = jar_path.parent_path() / (jar_path.filename().string() + ".build");
  const fs::path classes = work / "classes";
  std::string sources = " '" + WriteAppletSource(work / "java-src", player_name).string() + "'";
  // Bulk: packages of small classes, compiled in one javac run, and resources beside them.
  for (int package = 0; package < packages; ++package) {
    const std::string name = "net.quillmark.client.part" + std::to_string(package);
    const fs::path dir =
        work / "java-bulk" / ("net/quillmark/client/part" + std::to_string(package));
    for (int k = 0; k < 40; ++k) {
      const std::string cls = "Piece" + std::to_string(k);
      WriteFileBytes(dir / (cls + ".java"),
                     "package " + name + ";\npublic class " + cls +
                         " {\n  public int value() { return " + std::to_string(package * 100 + k) +
                         "; }\n  public String text() { return \"" +
                         std::string(static_cast<std::size_t>(k * 7), 'q') + "\"; }\n}\n");
      sources += " '" + (dir / (cls + ".java")).string() + "'";
    }
    std::string blob;
    for (int i = 0; i < 3000 * (package + 1); ++i)
      blob += static_cast<char>((i * 2654435761u) >> 13);
    WriteFileBytes(classes / "res" / ("pack" + std::to_string(package)) / "data.bin", blob);
    WriteFileBytes(classes / "res" / ("pack" + std::to_string(package)) / "readme.txt",
                   std::string(500, 'a' + package) + "\n");
  }
  WriteFileBytes(classes / "res/empty.txt", "");
  Compile(classes, sources);
  std::string output;
  if (RunCommand("cd '" + classes.string() + "' && jar cf '" + jar_path.string() + "' .",
                 &output) != 0) {
    throw std::runtime_error("jar failed: " + output);
  }
}

bool DirectoryMatchesArchive(const fs::path& archive, const fs::path& dir, std::string* report) {
  const std::string script = std::string(QM_SOURCE_DIR) + "/tests/support/compare_with_zipfile.py";
  std::string output;
  const int status = RunCommand(
      "python3 '" + script + "' '" + archive.string() + "' '" + dir.string() + "'", &output);
  if (report != nullptr) *report = output;
  return status == 0;
}

}  // namespace qm::testing
