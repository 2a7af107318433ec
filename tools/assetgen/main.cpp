// assetgen <output folder> [--preview <folder>]
//   Makes every embedded resource of the program from code. The output is deterministic:
//   the same library versions give the same bytes on every run.
// assetgen --meshes txt|bin|tzip|bzip <folder>
//   Writes only the twelve meshes, in the given X file form.
// assetgen --x-templates <file>
//   Writes the standard templates' binary block as a C++ initializer list.
#include <cstdio>
#include <filesystem>
#include <string>

#include "file_io.h"
#include "generate.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: assetgen <output folder> [--preview <folder>]\n"
               "       assetgen --meshes txt|bin|tzip|bzip <folder>\n"
               "       assetgen --x-templates <file>\n");
  return 2;
}

int fail(const std::string& error) {
  std::fprintf(stderr, "assetgen: %s\n", error.c_str());
  return 1;
}

int writeMeshes(const std::string& form, const std::filesystem::path& dir) {
  const std::pair<const char*, assetgen::XFormat> kForms[] = {{"txt", assetgen::XFormat::kText},
                                                              {"bin", assetgen::XFormat::kBinary},
                                                              {"tzip", assetgen::XFormat::kCompressedText},
                                                              {"bzip", assetgen::XFormat::kCompressedBinary}};
  for (const auto& [name, format] : kForms) {
    if (form != name) continue;
    std::vector<assetgen::GeneratedFile> files;
    assetgen::generateMeshes(format, files);
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    std::string error;
    for (const auto& f : files) {
      if (!assetgen::writeFile(dir / f.name, f.bytes, &error)) return fail(error);
    }
    return 0;
  }
  return usage();
}

int writeTemplates(const std::filesystem::path& path) {
  const std::vector<uint8_t> block = assetgen::standardTemplates();
  std::string text = "// Made by assetgen --x-templates: the standard X templates as a binary block.\n";
  for (size_t i = 0; i < block.size(); ++i) {
    text += std::to_string(block[i]);
    text += (i % 24 == 23 || i + 1 == block.size()) ? ",\n" : ", ";
  }
  std::string error;
  if (!assetgen::writeFile(path, std::vector<uint8_t>(text.begin(), text.end()), &error)) return fail(error);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::filesystem::path outDir;
  std::filesystem::path previewDir;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--meshes" && i + 2 < argc && argc == 4) {
      return writeMeshes(argv[i + 1], argv[i + 2]);
    } else if (arg == "--x-templates" && i + 1 < argc && argc == 3) {
      return writeTemplates(argv[i + 1]);
    } else if (arg == "--preview" && i + 1 < argc) {
      previewDir = argv[++i];
    } else if (outDir.empty() && !arg.starts_with("-")) {
      outDir = arg;
    } else {
      return usage();
    }
  }
  if (outDir.empty()) return usage();
  std::string error;
  if (!assetgen::generateAll(outDir, &error)) return fail(error);
  if (!previewDir.empty() && !assetgen::writePreviews(previewDir, &error)) return fail(error);
  return 0;
}
