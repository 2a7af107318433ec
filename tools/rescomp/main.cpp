// rescomp: compiles a resource script into an assembly file with the resource bytes and a
// C++ file with the lookup table the window layer searches.
//
//   rescomp --asm OUT.s --table OUT.cpp [--depfile OUT.d] [--symbol-prefix NAME]
//           [--preprocessor CC] [--include-dir DIR]... [--omit NAME]... SCRIPT.rc
//
// The script goes through the C compiler's preprocessor (CC, `cc` unless given).

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "resource_script.h"
#include "table_writer.h"

namespace {

int usage() {
  std::cerr << "usage: rescomp --asm OUT.s --table OUT.cpp [--depfile OUT.d] [--symbol-prefix NAME]\n"
               "               [--preprocessor CC] [--include-dir DIR]... [--omit NAME]... SCRIPT.rc\n";
  return 2;
}

// Written next to the target and renamed over it, so that a failed run never leaves a
// half-written file that a later build would take as up to date.
bool writeFile(const std::string& path, const std::string& contents) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    out.close();
    if (!out) {
      std::remove(temporary.c_str());
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(temporary, path, ec);
  if (ec) std::remove(temporary.c_str());
  return !ec;
}

std::string absolute(const std::string& path) {
  return std::filesystem::absolute(std::filesystem::path(path)).lexically_normal().string();
}

}  // namespace

int main(int argc, char** argv) {
  std::string asmPath, tablePath, depPath, prefix = "res", compiler = "cc", script;
  rescomp::ParseOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    const char* v = nullptr;
    if (arg == "--asm" && (v = value()))
      asmPath = v;
    else if (arg == "--table" && (v = value()))
      tablePath = v;
    else if (arg == "--depfile" && (v = value()))
      depPath = v;
    else if (arg == "--symbol-prefix" && (v = value()))
      prefix = rescomp::symbolSafe(v);
    else if (arg == "--preprocessor" && (v = value()))
      compiler = v;
    else if (arg == "--include-dir" && (v = value()))
      options.includeDirs.push_back(absolute(v));
    else if (arg == "--omit" && (v = value()))
      options.omit.push_back(v);
    else if (!arg.empty() && arg[0] != '-' && script.empty())
      script = arg;
    else
      return usage();
  }
  if (asmPath.empty() || tablePath.empty() || script.empty()) return usage();

  try {
    rescomp::DiskFiles files;
    const std::string scriptPath = absolute(script);
    const std::string preprocessed = rescomp::preprocessScript(compiler, scriptPath, options.includeDirs);
    const rescomp::ScriptContents contents = rescomp::parseScript(preprocessed, files, options);
    const std::string assembly = rescomp::assemblySource(contents.resources, prefix, scriptPath);
    const std::string table = rescomp::tableSource(contents.resources, prefix, scriptPath);
    bool ok = writeFile(asmPath, assembly) && writeFile(tablePath, table);
    if (ok && !depPath.empty())
      ok = writeFile(depPath, rescomp::depfileText({absolute(asmPath), absolute(tablePath)}, contents.dependencies));
    if (!ok) {
      std::cerr << "rescomp: error: cannot write the output files\n";
      return 1;
    }
  } catch (const rescomp::ScriptError& e) {
    std::cerr << e.what() << "\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "rescomp: error: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
