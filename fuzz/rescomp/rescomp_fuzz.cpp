// The resource compiler's reader of preprocessed scripts, icon splitter and writers on
// arbitrary input. Every file the script names (resource files, icons) reads back as the
// input itself.
#include <cstddef>
#include <cstdint>
#include <string>

#include "icon_file.h"
#include "resource_script.h"
#include "table_writer.h"

namespace {

constexpr size_t kMaxInput = 4096;

class InputFiles : public rescomp::SourceFiles {
 public:
  explicit InputFiles(std::string input) : m_input(std::move(input)) {}
  bool exists(const std::string&) override { return true; }
  std::optional<std::string> read(const std::string&, uint64_t maxBytes) override {
    if (m_input.size() > maxBytes) return std::nullopt;
    return m_input;
  }
  std::optional<uint64_t> fileSize(const std::string&) override { return m_input.size(); }

 private:
  std::string m_input;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxInput) return 0;
  const std::string input(reinterpret_cast<const char*>(data), size);

  std::string why;
  (void)rescomp::splitIconFile(input, 1, why);

  InputFiles files(input);
  try {
    const auto contents = rescomp::parseScript(input, files, {});
    (void)rescomp::assemblySource(contents.resources, "fuzz", "/fuzz/script.rc");
    (void)rescomp::tableSource(contents.resources, "fuzz", "/fuzz/script.rc");
  } catch (const rescomp::ScriptError&) {
    // Rejected input is the expected outcome for most of it.
  }
  return 0;
}
