// Reads a resource script in the ordinary resource-compiler syntax and lists the resources
// it binds: type, name, language and where their bytes come from.
//
// As other resource compilers do, the script goes through the toolchain's C preprocessor
// first (`preprocessScript`), so #include, #define, #if and the rest mean what they mean to
// C. The statements read from its output: LANGUAGE, VERSION and CHARACTERISTICS with
// numbers, and resources given as `name TYPE [memory flags] "file"` where TYPE is RCDATA,
// ICON, a number, an identifier or a quoted string. Names and string types are stored in
// upper case, as the real compiler stores them. Text that comes from a C header (.h, .c ...)
// is not part of the script: headers are read only for their macros. Not supported (clear
// error): inline data blocks and the structured types (dialogs, menus, string tables ...).
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace rescomp {

// A resource type or name: a string (upper case, non-empty) or an integer identifier.
struct ResourceKey {
  std::string str;
  uint16_t id = 0;

  bool isString() const { return !str.empty(); }
  friend bool operator==(const ResourceKey&, const ResourceKey&) = default;
};
std::string describeKey(const ResourceKey& key);

constexpr uint16_t kTypeIcon = 3;
constexpr uint16_t kTypeRcData = 10;
constexpr uint16_t kTypeGroupIcon = 14;
constexpr uint16_t kDefaultLanguage = 0x0409;

struct SourceLocation {
  std::string file;
  int line = 0;
};

struct Resource {
  ResourceKey type;
  ResourceKey name;
  uint16_t language = kDefaultLanguage;
  // The bytes are either a slice of a file (absolute path, offset, size) or, for data that
  // the compiler builds itself such as an icon group's directory, held in `bytes`.
  std::string file;
  uint64_t offset = 0;
  uint32_t size = 0;
  std::vector<unsigned char> bytes;
  SourceLocation where;
  // For an icon image: index (in the list) of the icon group it belongs to; -1 otherwise.
  int group = -1;
};

struct ScriptContents {
  std::vector<Resource> resources;
  // Every file read: the script, included files and resource files, for a depfile.
  std::vector<std::string> dependencies;
};

// A failure with its place already in the message ("file:line: error: ...").
class ScriptError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// File access of the parser, so that tests and the fuzzer can feed it from memory.
class SourceFiles {
 public:
  virtual ~SourceFiles() = default;
  virtual bool exists(const std::string& path) = 0;
  // Whole contents, or nullopt when the file cannot be read or is larger than maxBytes.
  virtual std::optional<std::string> read(const std::string& path, uint64_t maxBytes) = 0;
  virtual std::optional<uint64_t> fileSize(const std::string& path) = 0;
};

// The real file system.
class DiskFiles : public SourceFiles {
 public:
  bool exists(const std::string& path) override;
  std::optional<std::string> read(const std::string& path, uint64_t maxBytes) override;
  std::optional<uint64_t> fileSize(const std::string& path) override;
};

struct ParseOptions {
  // Searched after the folder of the file that names a resource file (and passed to the
  // preprocessor for #include).
  std::vector<std::string> includeDirs;
  // Resources to leave out: an integer identifier, a macro of the script that names one,
  // or a string name. Each must match at least one resource.
  std::vector<std::string> omit;
};

// Runs `compiler` as the C preprocessor on the script, with RC_INVOKED defined and the
// include folders, and returns its output: the text with line markers and the #define
// lines that were read. The preprocessor's own diagnostics go to stderr; a failure to run
// it, or its failure, throws ScriptError.
std::string preprocessScript(const std::string& compiler, const std::string& scriptPath,
                             const std::vector<std::string>& includeDirs);

// Parses what `preprocessScript` returned. File paths in the result are as the line markers
// name them (absolute when the script path and include folders were). Throws ScriptError on
// any fault.
ScriptContents parseScript(const std::string& preprocessed, SourceFiles& files, const ParseOptions& options);

}  // namespace rescomp
