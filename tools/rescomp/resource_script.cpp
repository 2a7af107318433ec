#include "resource_script.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <system_error>

#include "icon_file.h"

extern char** environ;

namespace rescomp {
namespace {

// Scripts and their headers are small; the cap keeps a runaway preprocessor from eating memory.
constexpr uint64_t kMaxScriptBytes = 16u << 20;
constexpr uint64_t kMaxIconBytes = 64u << 20;

std::string asciiUpper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

bool isWordStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool isWordChar(char c) { return isWordStart(c) || (c >= '0' && c <= '9') || c == '.'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

// Parses a number: decimal, hexadecimal (0x) or octal (leading 0), with the usual U/L
// suffixes. Nullopt when malformed or beyond 63 bits.
std::optional<int64_t> parseNumber(std::string_view s) {
  size_t end = s.size();
  while (end > 0 && (s[end - 1] == 'u' || s[end - 1] == 'U' || s[end - 1] == 'l' || s[end - 1] == 'L')) --end;
  unsigned base = 10;
  size_t i = 0;
  if (end >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    i = 2;
    if (end == 2) return std::nullopt;
  } else if (end >= 2 && s[0] == '0') {
    base = 8;
    i = 1;
  }
  if (i >= end && base != 8) return std::nullopt;
  uint64_t value = 0;
  for (; i < end; ++i) {
    const char c = s[i];
    unsigned digit;
    if (c >= '0' && c <= '9')
      digit = static_cast<unsigned>(c - '0');
    else if (c >= 'a' && c <= 'f')
      digit = static_cast<unsigned>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F')
      digit = static_cast<unsigned>(c - 'A' + 10);
    else
      return std::nullopt;
    if (digit >= base) return std::nullopt;
    if (value > (static_cast<uint64_t>(INT64_MAX) - digit) / base) return std::nullopt;
    value = value * base + digit;
  }
  return static_cast<int64_t>(value);
}

bool isHeaderFile(const std::string& path) {
  static const std::set<std::string> kHeaderExtensions = {".h", ".hh", ".hpp", ".hxx", ".c", ".cc", ".cpp"};
  std::string ext = std::filesystem::path(path).extension().string();
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return kHeaderExtensions.count(ext) != 0;
}

std::string directoryOf(const std::string& path) { return std::filesystem::path(path).parent_path().string(); }

enum class TokenKind { Word, Number, String, Punct };

struct Token {
  TokenKind kind = TokenKind::Punct;
  std::string text;  // spelling; for strings the contents with escapes resolved
  int64_t value = 0;
  int file = 0;  // index into the file names
  int line = 0;
};

// The preprocessor's output split into the tokens of the statements, with the place each
// came from (taken from the line markers), the files the markers named and the macros with
// a number for a value.
class Reader {
 public:
  std::vector<Token> tokens;
  std::vector<std::string> names;
  std::vector<std::string> dependencies;
  std::map<std::string, int64_t> numberMacros;

  explicit Reader(std::string_view text) {
    enterFile("<input>");
    size_t pos = 0;
    while (pos < text.size()) {
      size_t end = text.find('\n', pos);
      if (end == std::string_view::npos) end = text.size();
      line(text.substr(pos, end - pos));
      pos = end + 1;
      ++m_line;
    }
  }

  [[noreturn]] void fail(const Token& at, const std::string& message) const {
    throw ScriptError(placeOf(at) + ": error: " + message);
  }
  std::string placeOf(const Token& t) const {
    return names[static_cast<size_t>(t.file)] + ":" + std::to_string(t.line);
  }

 private:
  void enterFile(const std::string& name) {
    m_file = static_cast<int>(names.size());
    names.push_back(std::filesystem::path(name).lexically_normal().string());
    m_inHeader = isHeaderFile(name);
    // The preprocessor's own pseudo-files ("<built-in>", "<command-line>") are not inputs.
    if (name.empty() || name[0] != '<') dependencies.push_back(names.back());
  }

  [[noreturn]] void failHere(const std::string& message) const {
    throw ScriptError(names[static_cast<size_t>(m_file)] + ":" + std::to_string(m_line) + ": error: " + message);
  }

  static std::string_view word(std::string_view& s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    size_t n = 0;
    while (n < s.size() && (isWordStart(s[n]) || isDigit(s[n]))) ++n;
    const std::string_view w = s.substr(0, n);
    s.remove_prefix(n);
    return w;
  }

  void line(std::string_view s) {
    size_t first = 0;
    while (first < s.size() && isBlank(s[first])) ++first;
    if (first < s.size() && s[first] == '#') {
      directive(s.substr(first + 1));
      return;
    }
    if (m_inHeader) return;
    tokenize(s);
  }

  // What the preprocessor leaves of directives: line markers (`# 12 "file" flags` or
  // `#line 12 "file"`), the #define and #undef lines it was asked to keep, and pragmas.
  void directive(std::string_view s) {
    std::string_view name = word(s);
    if (name == "line") name = word(s);
    if (!name.empty() && isDigit(name[0])) {
      const auto number = parseNumber(name);
      if (!number || *number > INT32_MAX) failHere("malformed line marker");
      while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
      if (!s.empty()) enterFile(markerFileName(s));
      m_line = static_cast<int>(*number) - 1;  // the marker names the number of the next line
    } else if (name == "define") {
      const std::string macro(word(s));
      if (s.empty() || s.front() == '(') {
        numberMacros.erase(macro);
        return;
      }
      while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
      while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
      const auto value = parseNumber(s);
      if (value)
        numberMacros[macro] = *value;
      else
        numberMacros.erase(macro);
    } else if (name == "undef") {
      numberMacros.erase(std::string(word(s)));
    }
  }

  // A marker's file name is a C string literal.
  std::string markerFileName(std::string_view s) const {
    if (s.front() != '"') failHere("malformed line marker");
    std::string out;
    for (size_t i = 1; i < s.size(); ++i) {
      const char c = s[i];
      if (c == '"') return out;
      if (c != '\\') {
        out += c;
      } else if (i + 1 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '7') {
        unsigned value = 0;
        for (int n = 0; n < 3 && i + 1 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '7'; ++n)
          value = value * 8 + static_cast<unsigned>(s[++i] - '0');
        out += static_cast<char>(value);
      } else if (i + 1 < s.size()) {
        out += s[++i];
      }
    }
    failHere("malformed line marker");
  }

  void tokenize(std::string_view s) {
    size_t pos = 0;
    while (true) {
      while (pos < s.size() && isBlank(s[pos])) ++pos;
      if (pos >= s.size()) return;
      Token t;
      t.file = m_file;
      t.line = m_line;
      const char c = s[pos];
      if (isWordStart(c) || isDigit(c)) {
        const size_t start = pos;
        while (pos < s.size() && isWordChar(s[pos])) ++pos;
        t.text = std::string(s.substr(start, pos - start));
        if (isDigit(c)) {
          const auto value = parseNumber(t.text);
          if (!value) failHere("invalid number '" + t.text + "'");
          t.kind = TokenKind::Number;
          t.value = *value;
        } else {
          t.kind = TokenKind::Word;
        }
      } else if (c == '"') {
        t.kind = TokenKind::String;
        ++pos;
        while (true) {
          if (pos >= s.size()) failHere("unterminated string");
          const char x = s[pos++];
          if (x == '"') {
            if (pos >= s.size() || s[pos] != '"') break;
            ++pos;  // "" stands for one quote
            t.text += '"';
          } else if (x == '\\' && pos < s.size() && (s[pos] == '\\' || s[pos] == '"')) {
            t.text += s[pos++];
          } else {
            t.text += x;
          }
        }
      } else {
        t.text = std::string(1, c);
        ++pos;
      }
      tokens.push_back(std::move(t));
    }
  }

  int m_file = 0;
  int m_line = 1;
  bool m_inHeader = false;
};

// Resource types of the ordinary script language that have a structure of their own
// (or a file format this compiler does not convert); naming one is an error rather than
// a custom type of that name.
bool isUnsupportedStandardType(const std::string& word) {
  static const std::set<std::string> kTypes = {
      "ACCELERATORS", "BITMAP",      "CURSOR", "DIALOG",  "DIALOGEX",     "DLGINCLUDE", "FONT",
      "HTML",         "MANIFEST",    "MENU",   "MENUEX",  "MESSAGETABLE", "PLUGPLAY",   "STRINGTABLE",
      "TEXTINCLUDE",  "VERSIONINFO", "VXD",    "TOOLBAR", "DLGINIT",      "ANICURSOR",  "ANIICON"};
  return kTypes.count(word) != 0;
}

bool isMemoryFlag(const std::string& word) {
  static const std::set<std::string> kFlags = {"PRELOAD", "LOADONCALL", "FIXED",  "MOVEABLE",  "DISCARDABLE",
                                               "PURE",    "IMPURE",     "SHARED", "NONSHARED", "NONDISCARDABLE"};
  return kFlags.count(word) != 0;
}

class StatementParser {
 public:
  StatementParser(Reader& reader, SourceFiles& files, const ParseOptions& options)
      : m_reader(reader), m_files(files), m_options(options), m_tokens(reader.tokens) {}

  std::vector<Resource> resources;

  void parse() {
    while (m_pos < m_tokens.size()) {
      const Token& t = m_tokens[m_pos];
      if (t.kind == TokenKind::Word) {
        if (t.text == "LANGUAGE") {
          ++m_pos;
          const int64_t primary = number("LANGUAGE");
          if (m_pos >= m_tokens.size() || m_tokens[m_pos].text != ",")
            fail(m_pos < m_tokens.size() ? m_tokens[m_pos] : last(),
                 "LANGUAGE needs two numbers: LANGUAGE primary, sublanguage");
          ++m_pos;
          const int64_t sub = number("LANGUAGE");
          if (primary > 0x3FF || sub > 0x3F)
            fail(t, "LANGUAGE values out of range (primary 0 to 1023, sublanguage 0 to 63)");
          m_language = static_cast<uint16_t>((sub << 10) | primary);
          continue;
        }
        if (t.text == "VERSION" || t.text == "CHARACTERISTICS") {
          ++m_pos;
          number(t.text);
          continue;
        }
        if (t.text == "STRINGTABLE") fail(t, "STRINGTABLE is not supported by this resource compiler");
      }
      resourceStatement();
    }
  }

 private:
  [[noreturn]] void fail(const Token& at, const std::string& message) { m_reader.fail(at, message); }
  const Token& last() const { return m_tokens[m_pos - 1]; }

  const Token& take(const std::string& whatIsExpected) {
    if (m_pos >= m_tokens.size()) fail(last(), "unexpected end of script: expected " + whatIsExpected);
    return m_tokens[m_pos++];
  }

  int64_t number(const std::string& statement) {
    const Token& t = take("a number after " + statement);
    if (t.kind != TokenKind::Number) fail(t, "'" + t.text + "' is not a number");
    return t.value;
  }

  ResourceKey idKey(const Token& t, const std::string& what) {
    if (t.value < 1 || t.value > 0xFFFF)
      fail(t, what + " " + std::to_string(t.value) + " is out of range (1 to 65535)");
    ResourceKey key;
    key.id = static_cast<uint16_t>(t.value);
    return key;
  }

  ResourceKey nameKey(const Token& t) {
    if (t.kind == TokenKind::Number) return idKey(t, "resource identifier");
    if (t.kind == TokenKind::Word) return ResourceKey{asciiUpper(t.text), 0};
    if (t.kind == TokenKind::String) {
      if (t.text.empty()) fail(t, "empty resource name");
      return ResourceKey{asciiUpper(t.text), 0};
    }
    fail(t, "expected a resource name or identifier, found '" + t.text + "'");
  }

  std::optional<std::string> findFile(const std::string& name, const std::string& fromDir) {
    std::string cleaned = name;
    for (char& c : cleaned)
      if (c == '\\') c = '/';
    const std::filesystem::path p(cleaned);
    if (p.is_absolute()) {
      if (m_files.exists(cleaned)) return p.lexically_normal().string();
      return std::nullopt;
    }
    std::vector<std::string> dirs{fromDir};
    dirs.insert(dirs.end(), m_options.includeDirs.begin(), m_options.includeDirs.end());
    for (const auto& dir : dirs) {
      const std::string candidate = (std::filesystem::path(dir) / p).lexically_normal().string();
      if (m_files.exists(candidate)) return candidate;
    }
    return std::nullopt;
  }

  void resourceStatement() {
    const Token& nameToken = take("a resource name");
    const ResourceKey name = nameKey(nameToken);
    const Token& typeToken = take("a resource type after '" + nameToken.text + "'");

    ResourceKey type;
    bool icon = false;
    if (typeToken.kind == TokenKind::Word) {
      const std::string word = asciiUpper(typeToken.text);
      if (word == "ICON") {
        icon = true;
        type.id = kTypeGroupIcon;
      } else if (word == "RCDATA") {
        type.id = kTypeRcData;
      } else if (isUnsupportedStandardType(word)) {
        fail(typeToken, "resource type " + word + " is not supported by this resource compiler");
      } else {
        type.str = word;
      }
    } else if (typeToken.kind == TokenKind::String && !typeToken.text.empty()) {
      type.str = asciiUpper(typeToken.text);
    } else if (typeToken.kind == TokenKind::Number) {
      type = idKey(typeToken, "resource type");
    } else {
      fail(typeToken, "expected a resource type after '" + nameToken.text + "'");
    }

    while (m_pos < m_tokens.size() && m_tokens[m_pos].kind == TokenKind::Word &&
           isMemoryFlag(asciiUpper(m_tokens[m_pos].text)))
      ++m_pos;

    const Token& fileToken = take("a file name in quotes");
    if ((fileToken.kind == TokenKind::Word && asciiUpper(fileToken.text) == "BEGIN") ||
        (fileToken.kind == TokenKind::Punct && fileToken.text == "{"))
      fail(fileToken, "inline resource data is not supported; put the bytes in a file and name it");
    if (fileToken.kind != TokenKind::String || fileToken.text.empty())
      fail(fileToken, "expected a file name in quotes after the type of '" + nameToken.text + "'");

    const std::string& statementFile = m_reader.names[static_cast<size_t>(fileToken.file)];
    const auto path = findFile(fileToken.text, directoryOf(statementFile));
    if (!path) fail(fileToken, "cannot find file '" + fileToken.text + "'");
    m_reader.dependencies.push_back(*path);

    Resource resource;
    resource.type = type;
    resource.name = name;
    resource.language = m_language;
    resource.where = {m_reader.names[static_cast<size_t>(nameToken.file)], nameToken.line};

    if (icon) {
      const auto bytes = m_files.read(*path, kMaxIconBytes);
      if (!bytes) fail(fileToken, "cannot read icon file '" + *path + "'");
      std::string why;
      const auto split = splitIconFile(*bytes, m_nextIconId, why);
      if (!split) fail(fileToken, "'" + *path + "' is " + why);
      resource.bytes = split->groupDirectory;
      resource.size = static_cast<uint32_t>(resource.bytes.size());
      add(std::move(resource), nameToken);
      const int group = static_cast<int>(resources.size()) - 1;
      for (const IconImage& image : split->images) {
        Resource part;
        part.type.id = kTypeIcon;
        part.name.id = m_nextIconId++;
        part.language = m_language;
        part.file = *path;
        part.offset = image.offset;
        part.size = image.size;
        part.where = resources[static_cast<size_t>(group)].where;
        part.group = group;
        add(std::move(part), nameToken);
      }
      return;
    }

    const auto size = m_files.fileSize(*path);
    if (!size) fail(fileToken, "cannot read file '" + *path + "'");
    if (*size > 0xFFFFFFFFu) fail(fileToken, "'" + *path + "' is too large for a resource (4 GiB or more)");
    resource.file = *path;
    resource.size = static_cast<uint32_t>(*size);
    add(std::move(resource), nameToken);
  }

  void add(Resource resource, const Token& at) {
    for (const Resource& other : resources) {
      if (other.type == resource.type && other.name == resource.name)
        fail(at, "duplicate resource: type " + describeKey(resource.type) + ", name " + describeKey(resource.name) +
                     " (first defined at " + other.where.file + ":" + std::to_string(other.where.line) + ")");
    }
    resources.push_back(std::move(resource));
  }

  Reader& m_reader;
  SourceFiles& m_files;
  const ParseOptions& m_options;
  const std::vector<Token>& m_tokens;
  size_t m_pos = 0;
  uint16_t m_language = kDefaultLanguage;
  // Icon images are numbered across the whole script, as the real compiler numbers them.
  uint16_t m_nextIconId = 1;
};

ResourceKey omitKey(const std::string& spec, const Reader& reader) {
  if (spec.empty()) throw ScriptError("error: empty name given to --omit");
  std::optional<int64_t> value;
  if (isDigit(spec[0])) {
    value = parseNumber(spec);
    if (!value || *value < 1 || *value > 0xFFFF)
      throw ScriptError("error: --omit " + spec + ": not an identifier from 1 to 65535");
  } else if (const auto it = reader.numberMacros.find(spec); it != reader.numberMacros.end()) {
    value = it->second;
  }
  if (value && *value >= 1 && *value <= 0xFFFF) return ResourceKey{"", static_cast<uint16_t>(*value)};
  return ResourceKey{asciiUpper(spec), 0};
}

void applyOmissions(std::vector<Resource>& resources, const std::vector<std::string>& omit, const Reader& reader) {
  std::vector<bool> drop(resources.size(), false);
  for (const std::string& spec : omit) {
    const ResourceKey key = omitKey(spec, reader);
    bool matched = false;
    for (size_t i = 0; i < resources.size(); ++i) {
      if (resources[i].name == key) {
        drop[i] = true;
        matched = true;
      }
    }
    if (!matched) throw ScriptError("error: --omit " + spec + " matches no resource of the script");
  }
  // The images of an omitted icon group go with it.
  for (size_t i = 0; i < resources.size(); ++i)
    if (resources[i].group >= 0 && drop[static_cast<size_t>(resources[i].group)]) drop[i] = true;

  std::vector<Resource> kept;
  std::vector<int> newIndex(resources.size(), -1);
  for (size_t i = 0; i < resources.size(); ++i) {
    if (drop[i]) continue;
    newIndex[i] = static_cast<int>(kept.size());
    kept.push_back(std::move(resources[i]));
  }
  for (Resource& r : kept)
    if (r.group >= 0) r.group = newIndex[static_cast<size_t>(r.group)];
  resources = std::move(kept);
}

// Closes a file descriptor when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : m_fd(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() { reset(); }
  int get() const { return m_fd; }
  void reset() {
    if (m_fd >= 0) close(m_fd);
    m_fd = -1;
  }

 private:
  int m_fd;
};

}  // namespace

std::string describeKey(const ResourceKey& key) {
  return key.isString() ? "\"" + key.str + "\"" : std::to_string(key.id);
}

bool DiskFiles::exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

std::optional<std::string> DiskFiles::read(const std::string& path, uint64_t maxBytes) {
  const auto size = fileSize(path);
  if (!size || *size > maxBytes) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string contents(static_cast<size_t>(*size), '\0');
  in.read(contents.data(), static_cast<std::streamsize>(contents.size()));
  if (static_cast<uint64_t>(in.gcount()) != *size) return std::nullopt;
  return contents;
}

std::optional<uint64_t> DiskFiles::fileSize(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec) return std::nullopt;
  return static_cast<uint64_t>(size);
}

std::string preprocessScript(const std::string& compiler, const std::string& scriptPath,
                             const std::vector<std::string>& includeDirs) {
  // -undef: the system's own macros (`linux`, `unix`) would otherwise turn resource names
  // into numbers. -dD keeps the #define lines, which --omit looks names up in.
  std::vector<std::string> args = {compiler, "-E", "-dD", "-undef", "-x", "c", "-DRC_INVOKED"};
  for (const std::string& dir : includeDirs) args.push_back("-I" + dir);
  args.push_back(scriptPath);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw ScriptError(std::string("error: cannot make a pipe: ") + std::strerror(errno));
  Descriptor readEnd(fds[0]), writeEnd(fds[1]);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), STDOUT_FILENO);
  pid_t pid = 0;
  const int spawnError = posix_spawnp(&pid, compiler.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawnError != 0)
    throw ScriptError("error: cannot run the preprocessor '" + compiler + "': " + std::strerror(spawnError));
  writeEnd.reset();

  std::string output;
  bool tooLarge = false;
  char buffer[65536];
  while (true) {
    const ssize_t n = read(readEnd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    output.append(buffer, static_cast<size_t>(n));
    if (output.size() > kMaxScriptBytes) {
      tooLarge = true;
      break;
    }
  }
  readEnd.reset();  // a preprocessor still writing ends on the broken pipe
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (tooLarge) throw ScriptError(scriptPath + ": error: preprocessed script larger than 16 MiB");
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    throw ScriptError(scriptPath + ": error: the preprocessor '" + compiler + "' failed");
  return output;
}

ScriptContents parseScript(const std::string& preprocessed, SourceFiles& files, const ParseOptions& options) {
  Reader reader(preprocessed);
  StatementParser parser(reader, files, options);
  parser.parse();
  applyOmissions(parser.resources, options.omit, reader);
  ScriptContents contents;
  contents.resources = std::move(parser.resources);
  contents.dependencies = std::move(reader.dependencies);
  return contents;
}

}  // namespace rescomp
