#include "resource_script.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <system_error>

#include "icon_file.h"

namespace rescomp {
namespace {

// Scripts and headers are small; the cap keeps a stray binary from eating memory.
constexpr uint64_t kMaxScriptBytes = 16u << 20;
constexpr uint64_t kMaxIconBytes = 64u << 20;
constexpr int kMaxIncludeDepth = 32;
// Headers without include guards that include each other can multiply without bound.
constexpr int kMaxIncludedFiles = 4096;
constexpr int kMaxExpressionDepth = 128;

std::string asciiUpper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

bool isWordStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool isWordChar(char c) { return isWordStart(c) || (c >= '0' && c <= '9') || c == '.'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

enum class TokenKind { Word, Number, String, Punct, Newline, End };

struct Token {
  TokenKind kind = TokenKind::End;
  std::string text;  // spelling; for strings the contents with escapes resolved
  int64_t value = 0;
  int file = 0;
  int line = 0;
  // Words of statements carry the value of the macro they named where they were read.
  bool isMacro = false;
  std::optional<int64_t> macroValue;
  std::string macroProblem;
};

struct Macro {
  std::vector<Token> body;
  bool functionLike = false;
};
using MacroTable = std::map<std::string, std::shared_ptr<const Macro>>;

// Parses a number token: decimal, hexadecimal (0x) or octal (leading 0), with the usual
// U/L suffixes. Nullopt when malformed or beyond 64 bits.
std::optional<int64_t> parseNumber(const std::string& s) {
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
    if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
    else if (c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
    else return std::nullopt;
    if (digit >= base) return std::nullopt;
    if (value > (static_cast<uint64_t>(INT64_MAX) - digit) / base) return std::nullopt;
    value = value * base + digit;
  }
  return static_cast<int64_t>(value);
}

// Tokenizer over one file. Lines matter only to the preprocessor, so newlines are tokens.
class Lexer {
 public:
  Lexer(std::string_view text, int file, const std::vector<std::string>& names)
      : m_text(text), m_file(file), m_names(names) {}

  int line() const { return m_line; }

  [[noreturn]] void fail(const std::string& message, int line) const {
    throw ScriptError(m_names[static_cast<size_t>(m_file)] + ":" + std::to_string(line) + ": error: " + message);
  }

  // Skips spaces, comments and line continuations, but not newlines.
  void skipBlank() {
    while (m_pos < m_text.size()) {
      const char c = m_text[m_pos];
      if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
        ++m_pos;
      } else if (c == '\\' && continuation()) {
      } else if (c == '/' && peek(1) == '/') {
        while (m_pos < m_text.size() && m_text[m_pos] != '\n') ++m_pos;
      } else if (c == '/' && peek(1) == '*') {
        const int start = m_line;
        m_pos += 2;
        while (true) {
          if (m_pos >= m_text.size()) fail("unterminated comment", start);
          if (m_text[m_pos] == '*' && peek(1) == '/') break;
          if (m_text[m_pos] == '\n') ++m_line;
          ++m_pos;
        }
        m_pos += 2;
      } else {
        return;
      }
    }
  }

  bool atEnd() const { return m_pos >= m_text.size(); }
  char current() const { return m_pos < m_text.size() ? m_text[m_pos] : '\0'; }
  void advance() { ++m_pos; }

  Token next() {
    skipBlank();
    Token t;
    t.file = m_file;
    t.line = m_line;
    if (m_pos >= m_text.size()) return t;
    const char c = m_text[m_pos];
    if (c == '\n') {
      ++m_pos;
      ++m_line;
      t.kind = TokenKind::Newline;
      return t;
    }
    if (isWordStart(c) || isDigit(c)) {
      const size_t start = m_pos;
      while (m_pos < m_text.size() && isWordChar(m_text[m_pos])) ++m_pos;
      t.text = std::string(m_text.substr(start, m_pos - start));
      if (isDigit(c)) {
        const auto value = parseNumber(t.text);
        if (!value) fail("invalid number '" + t.text + "'", t.line);
        t.kind = TokenKind::Number;
        t.value = *value;
      } else {
        t.kind = TokenKind::Word;
      }
      return t;
    }
    if (c == '"') {
      t.kind = TokenKind::String;
      ++m_pos;
      while (true) {
        if (m_pos >= m_text.size() || m_text[m_pos] == '\n') fail("unterminated string", t.line);
        const char s = m_text[m_pos++];
        if (s == '"') {
          if (current() != '"') break;
          ++m_pos;  // "" stands for one quote
          t.text += '"';
        } else if (s == '\\' && (current() == '\\' || current() == '"')) {
          t.text += m_text[m_pos++];
        } else {
          t.text += s;
        }
      }
      return t;
    }
    t.kind = TokenKind::Punct;
    static constexpr std::string_view kPairs[] = {"&&", "||", "==", "!=", "<=", ">=", "<<", ">>"};
    for (const auto pair : kPairs) {
      if (m_text.substr(m_pos, 2) == pair) {
        t.text = std::string(pair);
        m_pos += 2;
        return t;
      }
    }
    t.text = std::string(1, c);
    ++m_pos;
    return t;
  }

  // Reads the tokens up to the end of the line and consumes the newline.
  std::vector<Token> restOfLine() {
    std::vector<Token> tokens;
    for (Token t = next(); t.kind != TokenKind::Newline && t.kind != TokenKind::End; t = next())
      tokens.push_back(std::move(t));
    return tokens;
  }

  // Skips a line without tokenizing it: C code in headers and lines of inactive
  // conditional blocks need not be valid script. Comments are still honoured, since one
  // may hide the end of a conditional block.
  std::string skipLine() {
    std::string text;
    while (m_pos < m_text.size()) {
      const size_t before = m_pos;
      skipBlank();
      if (m_pos != before && !text.empty()) text += ' ';
      if (m_pos >= m_text.size()) break;
      const char c = m_text[m_pos];
      if (c == '\n') {
        ++m_pos;
        ++m_line;
        break;
      }
      if (c == '"' || c == '\'') {
        text += m_text[m_pos++];
        while (m_pos < m_text.size() && m_text[m_pos] != '\n' && m_text[m_pos] != c) {
          if (m_text[m_pos] == '\\' && peek(1) != '\n') text += m_text[m_pos++];
          text += m_text[m_pos++];
        }
        if (current() == c) text += m_text[m_pos++];
        continue;
      }
      text += c;
      ++m_pos;
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
  }

  // The file name of an #include: "name" or <name>, taken literally.
  std::optional<std::string> headerName() {
    skipBlank();
    const char open = current();
    if (open != '"' && open != '<') return std::nullopt;
    const char close = open == '"' ? '"' : '>';
    ++m_pos;
    std::string name;
    while (m_pos < m_text.size() && m_text[m_pos] != close && m_text[m_pos] != '\n') name += m_text[m_pos++];
    if (current() != close) return std::nullopt;
    ++m_pos;
    return name;
  }

 private:
  char peek(size_t ahead) const { return m_pos + ahead < m_text.size() ? m_text[m_pos + ahead] : '\0'; }

  bool continuation() {
    size_t at = m_pos + 1;
    if (at < m_text.size() && m_text[at] == '\r') ++at;
    if (at < m_text.size() && m_text[at] == '\n') {
      m_pos = at + 1;
      ++m_line;
      return true;
    }
    return false;
  }

  std::string_view m_text;
  size_t m_pos = 0;
  int m_file;
  int m_line = 1;
  const std::vector<std::string>& m_names;
};

// Integer constant expressions of #if and of statement arguments, with C precedence.
// Words are handed to a resolver (macro lookup). Arithmetic is 64-bit and checked.
class Evaluator {
 public:
  using WordResolver = std::function<int64_t(const Token&, int depth)>;
  using Fail = std::function<void(const std::string&, const Token&)>;

  Evaluator(const std::vector<Token>& tokens, size_t pos, WordResolver resolve, Fail fail, bool allowDefined,
            const MacroTable* macros, int depth)
      : m_tokens(tokens), m_pos(pos), m_resolve(std::move(resolve)), m_fail(std::move(fail)),
        m_allowDefined(allowDefined), m_macros(macros), m_depth(depth) {}

  int64_t expression() { return binary(0); }
  size_t position() const { return m_pos; }

 private:
  const Token& peek() const {
    static const Token kEnd;
    return m_pos < m_tokens.size() ? m_tokens[m_pos] : kEnd;
  }
  const Token& location() const { return m_pos < m_tokens.size() ? m_tokens[m_pos] : m_tokens.back(); }
  [[noreturn]] void fail(const std::string& message) const {
    m_fail(message, location());
    throw ScriptError(message);  // m_fail throws; this only satisfies [[noreturn]]
  }

  static int precedence(const std::string& op) {
    static const std::map<std::string, int> kPrecedence = {
        {"||", 1}, {"&&", 2}, {"|", 3},  {"^", 4},  {"&", 5},  {"==", 6}, {"!=", 6}, {"<", 7}, {">", 7},
        {"<=", 7}, {">=", 7}, {"<<", 8}, {">>", 8}, {"+", 9},  {"-", 9},  {"*", 10}, {"/", 10}, {"%", 10}};
    const auto it = kPrecedence.find(op);
    return it == kPrecedence.end() ? -1 : it->second;
  }

  int64_t binary(int minPrecedence) {
    if (++m_depth > kMaxExpressionDepth) fail("expression nested too deeply");
    int64_t left = unary();
    while (peek().kind == TokenKind::Punct) {
      const std::string op = peek().text;
      const int p = precedence(op);
      if (p < 0 || p < minPrecedence) break;
      ++m_pos;
      const int64_t right = binary(p + 1);
      left = apply(op, left, right);
    }
    --m_depth;
    return left;
  }

  int64_t apply(const std::string& op, int64_t a, int64_t b) {
    int64_t r = 0;
    if (op == "+") {
      if (__builtin_add_overflow(a, b, &r)) fail("overflow in expression");
    } else if (op == "-") {
      if (__builtin_sub_overflow(a, b, &r)) fail("overflow in expression");
    } else if (op == "*") {
      if (__builtin_mul_overflow(a, b, &r)) fail("overflow in expression");
    } else if (op == "/" || op == "%") {
      if (b == 0) fail("division by zero in expression");
      if (a == INT64_MIN && b == -1) fail("overflow in expression");
      r = op == "/" ? a / b : a % b;
    } else if (op == "<<" || op == ">>") {
      if (b < 0 || b > 63) fail("shift count out of range in expression");
      r = op == "<<" ? static_cast<int64_t>(static_cast<uint64_t>(a) << b) : a >> b;
    } else if (op == "&") r = a & b;
    else if (op == "|") r = a | b;
    else if (op == "^") r = a ^ b;
    else if (op == "==") r = a == b;
    else if (op == "!=") r = a != b;
    else if (op == "<") r = a < b;
    else if (op == ">") r = a > b;
    else if (op == "<=") r = a <= b;
    else if (op == ">=") r = a >= b;
    else if (op == "&&") r = a && b;
    else if (op == "||") r = a || b;
    return r;
  }

  int64_t unary() {
    const Token& t = peek();
    if (t.kind == TokenKind::Punct) {
      if (t.text == "-" || t.text == "+" || t.text == "~" || t.text == "!") {
        const std::string op = t.text;
        ++m_pos;
        if (++m_depth > kMaxExpressionDepth) fail("expression nested too deeply");
        const int64_t v = unary();
        --m_depth;
        if (op == "-") {
          if (v == INT64_MIN) fail("overflow in expression");
          return -v;
        }
        if (op == "~") return ~v;
        if (op == "!") return !v;
        return v;
      }
      if (t.text == "(") {
        ++m_pos;
        const int64_t v = binary(0);
        if (peek().kind != TokenKind::Punct || peek().text != ")") fail("expected ')' in expression");
        ++m_pos;
        return v;
      }
    }
    if (t.kind == TokenKind::Number) {
      ++m_pos;
      return t.value;
    }
    if (t.kind == TokenKind::Word) {
      if (m_allowDefined && t.text == "defined") {
        ++m_pos;
        const bool parenthesised = peek().kind == TokenKind::Punct && peek().text == "(";
        if (parenthesised) ++m_pos;
        if (peek().kind != TokenKind::Word) fail("expected a macro name after 'defined'");
        const bool defined = m_macros->count(peek().text) != 0;
        ++m_pos;
        if (parenthesised) {
          if (peek().kind != TokenKind::Punct || peek().text != ")") fail("expected ')' after 'defined'");
          ++m_pos;
        }
        return defined;
      }
      ++m_pos;
      return m_resolve(t, m_depth);
    }
    if (t.kind == TokenKind::End) fail("expected an expression");
    fail("unexpected '" + t.text + "' in expression");
  }

  const std::vector<Token>& m_tokens;
  size_t m_pos;
  WordResolver m_resolve;
  Fail m_fail;
  bool m_allowDefined;
  const MacroTable* m_macros;
  int m_depth;
};

std::string placeOf(const std::vector<std::string>& names, const Token& t) {
  return names[static_cast<size_t>(t.file)] + ":" + std::to_string(t.line);
}

// Evaluates a macro's body to a number using the macros defined now. Words that name no
// macro are an error, unless `undefinedIsZero` (the rule of #if).
int64_t evaluateMacro(const std::string& name, const MacroTable& macros, const std::vector<std::string>& names,
                      const Token& use, bool undefinedIsZero, std::set<std::string>& active, int depth) {
  const auto it = macros.find(name);
  if (it == macros.end()) {
    if (undefinedIsZero) return 0;
    throw ScriptError(placeOf(names, use) + ": error: '" + name + "' is not a defined number");
  }
  const Macro& macro = *it->second;
  if (macro.functionLike)
    throw ScriptError(placeOf(names, use) + ": error: function-like macro '" + name + "' cannot be used here");
  if (macro.body.empty())
    throw ScriptError(placeOf(names, use) + ": error: macro '" + name + "' has no value");
  if (!active.insert(name).second)
    throw ScriptError(placeOf(names, use) + ": error: macro '" + name + "' refers to itself");
  auto fail = [&](const std::string& message, const Token& at) {
    throw ScriptError(placeOf(names, at) + ": error: " + message + " (in macro '" + name + "')");
  };
  // Faults of nested macros are reported where the outermost one is used.
  auto resolve = [&](const Token& word, int innerDepth) {
    return evaluateMacro(word.text, macros, names, use, undefinedIsZero, active, innerDepth);
  };
  if (depth > kMaxExpressionDepth) fail("macros nested too deeply", use);
  Evaluator evaluator(macro.body, 0, resolve, fail, undefinedIsZero, &macros, depth + 1);
  const int64_t value = evaluator.expression();
  if (evaluator.position() != macro.body.size()) fail("macro is not a number", macro.body[evaluator.position()]);
  active.erase(name);
  return value;
}

bool isHeaderFile(const std::string& path) {
  static const std::set<std::string> kHeaderExtensions = {".h", ".hh", ".hpp", ".hxx", ".c", ".cc", ".cpp"};
  std::string ext = std::filesystem::path(path).extension().string();
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return kHeaderExtensions.count(ext) != 0;
}

std::string directoryOf(const std::string& path) { return std::filesystem::path(path).parent_path().string(); }

// Reads the script and everything it includes, handles the directives and collects the
// tokens of the statements.
class Preprocessor {
 public:
  Preprocessor(SourceFiles& files, const ParseOptions& options) : m_files(files), m_options(options) {}

  std::vector<Token> tokens;
  std::vector<std::string> names;
  std::vector<std::string> dependencies;
  MacroTable macros;

  void run(const std::string& path) { processFile(path, 0, ""); }

  std::optional<std::string> findFile(const std::string& name, const std::string& fromDir) {
    std::string cleaned = name;
    for (char& c : cleaned)
      if (c == '\\') c = '/';
    const std::filesystem::path p(cleaned);
    if (p.is_absolute()) {
      if (m_files.exists(cleaned)) return std::filesystem::path(cleaned).lexically_normal().string();
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

 private:
  struct Conditional {
    bool parentActive;
    bool active;
    bool taken;
    bool sawElse;
    int line;
  };

  [[noreturn]] void fail(const Token& at, const std::string& message) {
    throw ScriptError(placeOf(names, at) + ": error: " + message);
  }

  int64_t evaluateCondition(const std::vector<Token>& line, const Token& directive) {
    if (line.empty()) fail(directive, "#" + directive.text + " needs an expression");
    std::set<std::string> active;
    auto resolve = [&](const Token& word, int depth) {
      return evaluateMacro(word.text, macros, names, word, true, active, depth);
    };
    auto failAt = [&](const std::string& message, const Token& at) { fail(at, message); };
    Evaluator evaluator(line, 0, resolve, failAt, true, &macros, 0);
    const int64_t value = evaluator.expression();
    if (evaluator.position() != line.size()) fail(line[evaluator.position()], "unexpected text after expression");
    return value;
  }

  void processFile(const std::string& path, int depth, const std::string& fromPlace) {
    if (m_onceFiles.count(path)) return;
    const auto text = m_files.read(path, kMaxScriptBytes);
    if (!text) {
      const std::string prefix = fromPlace.empty() ? path : fromPlace;
      throw ScriptError(prefix + ": error: cannot read '" + path + "'");
    }
    dependencies.push_back(path);
    const int fileIndex = static_cast<int>(names.size());
    names.push_back(path);
    const bool headerOnly = isHeaderFile(path);
    Lexer lex(*text, fileIndex, names);
    std::vector<Conditional> conditionals;
    auto active = [&] { return conditionals.empty() || conditionals.back().active; };

    while (true) {
      lex.skipBlank();
      if (lex.atEnd()) break;
      if (lex.current() == '\n') {
        lex.next();
        continue;
      }
      if (lex.current() == '#') {
        lex.advance();
        directive(lex, conditionals, active(), depth, path);
        continue;
      }
      if (!active() || headerOnly) {
        lex.skipLine();
        continue;
      }
      for (Token t : lex.restOfLine()) {
        if (t.kind == TokenKind::Word && macros.count(t.text)) {
          t.isMacro = true;
          try {
            std::set<std::string> activeMacros;
            t.macroValue = evaluateMacro(t.text, macros, names, t, false, activeMacros, 0);
          } catch (const ScriptError& e) {
            // Only an error if the statement needs a number here; kept for that moment.
            t.macroProblem = e.what();
          }
        }
        tokens.push_back(std::move(t));
      }
    }
    if (!conditionals.empty()) {
      Token at;
      at.file = fileIndex;
      at.line = conditionals.back().line;
      fail(at, "#if without #endif");
    }
  }

  void directive(Lexer& lex, std::vector<Conditional>& conditionals, bool active, int depth,
                 const std::string& path) {
    const Token d = lex.next();
    if (d.kind == TokenKind::Newline || d.kind == TokenKind::End) return;  // null directive
    if (d.kind != TokenKind::Word) {
      if (!active) {
        lex.skipLine();
        return;
      }
      fail(d, "expected a directive name after '#'");
    }
    const std::string& name = d.text;

    if (name == "if" || name == "ifdef" || name == "ifndef") {
      if (!active) {
        lex.skipLine();
        conditionals.push_back({false, false, true, false, d.line});
        return;
      }
      const auto line = lex.restOfLine();
      bool value;
      if (name == "if") {
        value = evaluateCondition(line, d) != 0;
      } else {
        if (line.size() != 1 || line[0].kind != TokenKind::Word) fail(d, "#" + name + " needs one macro name");
        value = (macros.count(line[0].text) != 0) == (name == "ifdef");
      }
      conditionals.push_back({true, value, value, false, d.line});
      return;
    }
    if (name == "elif" || name == "else" || name == "endif") {
      if (conditionals.empty()) fail(d, "#" + name + " without #if");
      Conditional& c = conditionals.back();
      if (name == "endif") {
        lex.skipLine();
        conditionals.pop_back();
        return;
      }
      if (c.sawElse) fail(d, "#" + name + " after #else");
      if (name == "else") {
        lex.skipLine();
        c.sawElse = true;
        c.active = c.parentActive && !c.taken;
        c.taken = true;
        return;
      }
      if (!c.parentActive || c.taken) {
        lex.skipLine();
        c.active = false;
        return;
      }
      const bool value = evaluateCondition(lex.restOfLine(), d) != 0;
      c.active = value;
      c.taken = value;
      return;
    }
    if (!active) {
      lex.skipLine();
      return;
    }

    if (name == "include") {
      const auto header = lex.headerName();
      if (!header) fail(d, "#include expects \"file\" or <file>");
      if (!lex.restOfLine().empty()) fail(d, "unexpected text after #include");
      if (depth + 1 > kMaxIncludeDepth) fail(d, "#include nested too deeply");
      if (++m_includedFiles > kMaxIncludedFiles) fail(d, "too many #include directives processed");
      const auto found = findFile(*header, directoryOf(path));
      if (!found) fail(d, "cannot find include file '" + *header + "'");
      processFile(*found, depth + 1, placeOf(names, d));
    } else if (name == "define") {
      const Token macroName = lex.next();
      if (macroName.kind != TokenKind::Word) fail(d, "#define needs a macro name");
      auto macro = std::make_shared<Macro>();
      if (lex.current() == '(') {
        macro->functionLike = true;
        lex.skipLine();
      } else {
        macro->body = lex.restOfLine();
      }
      macros[macroName.text] = std::move(macro);
    } else if (name == "undef") {
      const auto line = lex.restOfLine();
      if (line.size() != 1 || line[0].kind != TokenKind::Word) fail(d, "#undef needs one macro name");
      macros.erase(line[0].text);
    } else if (name == "pragma") {
      const std::string text = lex.skipLine();
      if (text == "once") m_onceFiles.insert(path);
    } else if (name == "error") {
      fail(d, "#error " + lex.skipLine());
    } else if (name == "warning" || name == "line") {
      lex.skipLine();
    } else {
      fail(d, "unknown directive #" + name);
    }
  }

  SourceFiles& m_files;
  const ParseOptions& m_options;
  std::set<std::string> m_onceFiles;
  int m_includedFiles = 0;
};

// Resource types of the ordinary script language that have a structure of their own
// (or a file format this compiler does not convert); naming one is an error rather than
// a custom type of that name.
bool isUnsupportedStandardType(const std::string& word) {
  static const std::set<std::string> kTypes = {
      "ACCELERATORS", "BITMAP", "CURSOR", "DIALOG", "DIALOGEX", "DLGINCLUDE", "FONT", "HTML", "MANIFEST",
      "MENU", "MENUEX", "MESSAGETABLE", "PLUGPLAY", "STRINGTABLE", "TEXTINCLUDE", "VERSIONINFO", "VXD", "TOOLBAR",
      "DLGINIT", "ANICURSOR", "ANIICON"};
  return kTypes.count(word) != 0;
}

bool isMemoryFlag(const std::string& word) {
  static const std::set<std::string> kFlags = {"PRELOAD", "LOADONCALL", "FIXED", "MOVEABLE", "DISCARDABLE",
                                               "PURE", "IMPURE", "SHARED", "NONSHARED", "NONDISCARDABLE"};
  return kFlags.count(word) != 0;
}

class StatementParser {
 public:
  StatementParser(Preprocessor& pre, SourceFiles& files) : m_pre(pre), m_files(files), m_tokens(pre.tokens) {}

  std::vector<Resource> resources;

  void parse() {
    while (m_pos < m_tokens.size()) {
      const Token& t = m_tokens[m_pos];
      if (t.kind == TokenKind::Word && !t.isMacro) {
        if (t.text == "LANGUAGE") {
          ++m_pos;
          const int64_t primary = expression("LANGUAGE");
          expectPunct(",", "LANGUAGE needs two numbers: LANGUAGE primary, sublanguage");
          const int64_t sub = expression("LANGUAGE");
          if (primary < 0 || primary > 0x3FF || sub < 0 || sub > 0x3F)
            fail(t, "LANGUAGE values out of range (primary 0 to 1023, sublanguage 0 to 63)");
          m_language = static_cast<uint16_t>((sub << 10) | primary);
          continue;
        }
        if (t.text == "VERSION" || t.text == "CHARACTERISTICS") {
          ++m_pos;
          expression(t.text);
          continue;
        }
        if (t.text == "STRINGTABLE") fail(t, "STRINGTABLE is not supported by this resource compiler");
      }
      resourceStatement();
    }
  }

 private:
  [[noreturn]] void fail(const Token& at, const std::string& message) {
    throw ScriptError(placeOf(m_pre.names, at) + ": error: " + message);
  }
  const Token& last() const { return m_tokens[m_pos - 1]; }

  const Token& take(const std::string& whatIsExpected) {
    if (m_pos >= m_tokens.size()) fail(last(), "unexpected end of script: expected " + whatIsExpected);
    return m_tokens[m_pos++];
  }

  void expectPunct(const std::string& punct, const std::string& message) {
    if (m_pos >= m_tokens.size() || m_tokens[m_pos].kind != TokenKind::Punct || m_tokens[m_pos].text != punct)
      fail(m_pos < m_tokens.size() ? m_tokens[m_pos] : last(), message);
    ++m_pos;
  }

  int64_t macroNumber(const Token& t) {
    // The reason was found, with its place, where the macro was read.
    if (!t.macroValue) throw ScriptError(t.macroProblem);
    return *t.macroValue;
  }

  int64_t expression(const std::string& statement) {
    if (m_pos >= m_tokens.size()) fail(last(), statement + " needs a number");
    auto resolve = [&](const Token& word, int) -> int64_t {
      if (!word.isMacro) fail(word, "'" + word.text + "' is not a defined number");
      return macroNumber(word);
    };
    auto failAt = [&](const std::string& message, const Token& at) { fail(at, message); };
    Evaluator evaluator(m_tokens, m_pos, resolve, failAt, false, &m_pre.macros, 0);
    const int64_t value = evaluator.expression();
    m_pos = evaluator.position();
    return value;
  }

  ResourceKey idKey(const Token& t, int64_t value, const std::string& what) {
    if (value < 1 || value > 0xFFFF) fail(t, what + " " + std::to_string(value) + " is out of range (1 to 65535)");
    ResourceKey key;
    key.id = static_cast<uint16_t>(value);
    return key;
  }

  ResourceKey nameKey(const Token& t) {
    if (t.kind == TokenKind::Number) return idKey(t, t.value, "resource identifier");
    if (t.kind == TokenKind::Word) {
      if (t.isMacro) return idKey(t, macroNumber(t), "resource identifier");
      return ResourceKey{asciiUpper(t.text), 0};
    }
    if (t.kind == TokenKind::String) {
      if (t.text.empty()) fail(t, "empty resource name");
      return ResourceKey{asciiUpper(t.text), 0};
    }
    fail(t, "expected a resource name or identifier, found '" + t.text + "'");
  }

  void resourceStatement() {
    const Token& nameToken = take("a resource name");
    const ResourceKey name = nameKey(nameToken);
    const Token& typeToken = take("a resource type after '" + nameToken.text + "'");

    ResourceKey type;
    bool icon = false;
    if (typeToken.kind == TokenKind::Word && !typeToken.isMacro) {
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
      type = idKey(typeToken, typeToken.value, "resource type");
    } else if (typeToken.kind == TokenKind::Word) {
      type = idKey(typeToken, macroNumber(typeToken), "resource type");
    } else {
      fail(typeToken, "expected a resource type after '" + nameToken.text + "'");
    }

    while (m_pos < m_tokens.size() && m_tokens[m_pos].kind == TokenKind::Word && !m_tokens[m_pos].isMacro &&
           isMemoryFlag(asciiUpper(m_tokens[m_pos].text)))
      ++m_pos;

    const Token& fileToken = take("a file name in quotes");
    if ((fileToken.kind == TokenKind::Word && asciiUpper(fileToken.text) == "BEGIN") ||
        (fileToken.kind == TokenKind::Punct && fileToken.text == "{"))
      fail(fileToken, "inline resource data is not supported; put the bytes in a file and name it");
    if (fileToken.kind != TokenKind::String || fileToken.text.empty())
      fail(fileToken, "expected a file name in quotes after the type of '" + nameToken.text + "'");

    const auto path = m_pre.findFile(fileToken.text, directoryOf(m_pre.names[static_cast<size_t>(fileToken.file)]));
    if (!path) fail(fileToken, "cannot find file '" + fileToken.text + "'");
    m_pre.dependencies.push_back(*path);

    Resource resource;
    resource.type = type;
    resource.name = name;
    resource.language = m_language;
    resource.where = {m_pre.names[static_cast<size_t>(nameToken.file)], nameToken.line};

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

  Preprocessor& m_pre;
  SourceFiles& m_files;
  const std::vector<Token>& m_tokens;
  size_t m_pos = 0;
  uint16_t m_language = kDefaultLanguage;
  // Icon images are numbered across the whole script, as the real compiler numbers them.
  uint16_t m_nextIconId = 1;
};

ResourceKey omitKey(const std::string& spec, const Preprocessor& pre) {
  if (spec.empty()) throw ScriptError("error: empty name given to --omit");
  if (isDigit(spec[0])) {
    const auto value = parseNumber(spec);
    if (!value || *value < 1 || *value > 0xFFFF)
      throw ScriptError("error: --omit " + spec + ": not an identifier from 1 to 65535");
    return ResourceKey{"", static_cast<uint16_t>(*value)};
  }
  if (pre.macros.count(spec)) {
    Token use;
    std::set<std::string> active;
    try {
      const int64_t value = evaluateMacro(spec, pre.macros, pre.names, use, false, active, 0);
      if (value >= 1 && value <= 0xFFFF) return ResourceKey{"", static_cast<uint16_t>(value)};
    } catch (const ScriptError&) {
      // Not a number: the word is taken as a string name below.
    }
  }
  return ResourceKey{asciiUpper(spec), 0};
}

void applyOmissions(std::vector<Resource>& resources, const std::vector<std::string>& omit, const Preprocessor& pre) {
  std::vector<bool> drop(resources.size(), false);
  for (const std::string& spec : omit) {
    const ResourceKey key = omitKey(spec, pre);
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

ScriptContents parseScript(const std::string& scriptPath, SourceFiles& files, const ParseOptions& options) {
  Preprocessor pre(files, options);
  pre.run(std::filesystem::path(scriptPath).lexically_normal().string());
  StatementParser parser(pre, files);
  parser.parse();
  applyOmissions(parser.resources, options.omit, pre);
  ScriptContents contents;
  contents.resources = std::move(parser.resources);
  contents.dependencies = std::move(pre.dependencies);
  return contents;
}

}  // namespace rescomp
