// X file parser: header, the text and binary tokenizers, template declarations and data
// objects packed by their templates.
//
// Supported: "xof " files of version 0302/0303 in text, binary and their compressed forms,
// float sizes 32 and 64 (binary 64-bit floats are narrowed), every primitive member type but
// BINARY and BINARY_RESOURCE. Restrictions: names and strings keep at most 511 characters;
// data objects and template members nest at most kMaxDepth deep.
#include <charconv>
#include <cstring>
#include <new>

#include "x_document.h"

namespace d3dx::xfile {
namespace {

constexpr size_t kMaxStoredChars = 511;

struct Token {
  Tok kind = Tok::End;
  uint32_t integer = 0;
  float real = 0.0f;
  std::string_view text;  // Name and String (decoded, valid until the next token)
  GUID guid{};
};

struct Keyword {
  const char* text;
  Tok token;
};
constexpr Keyword kKeywords[] = {
    {"template", Tok::Template}, {"WORD", Tok::Word},
    {"DWORD", Tok::Dword},       {"FLOAT", Tok::Float},
    {"DOUBLE", Tok::Double},     {"CHAR", Tok::Char},
    {"UCHAR", Tok::Uchar},       {"SWORD", Tok::Sword},
    {"SDWORD", Tok::Sdword},     {"STRING", Tok::Lpstr},
    {"UNICODE", Tok::Unicode},   {"CSTRING", Tok::Cstring},
    {"array", Tok::Array},       {"ULONGLONG", Tok::Ulonglong},
    {"BINARY", Tok::Binary},     {"BINARY_RESOURCE", Tok::BinaryResource},
};

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

Tok keywordOf(std::string_view name) {
  if (name.size() < 4 || name.size() > 15) return Tok::Name;
  for (const Keyword& k : kKeywords) {
    const std::string_view word = k.text;
    if (word.size() != name.size()) continue;
    size_t i = 0;
    while (i < word.size() && upper(word[i]) == upper(name[i])) ++i;
    if (i == word.size()) return k.token;
  }
  return Tok::Name;
}

bool isPrimitive(Tok t) { return t >= Tok::Word && t <= Tok::BinaryResource && t != Tok::Array && t != Tok::Void; }
bool isIntegerType(Tok t) {
  return t == Tok::Word || t == Tok::Dword || t == Tok::Char || t == Tok::Uchar || t == Tok::Sword ||
         t == Tok::Sdword || t == Tok::Ulonglong;
}

int hexValue(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads one token at a time from either form. Binary integer and float lists are handed out
// element by element as Integer and Real tokens, so the grammar sees one kind of stream.
class Lexer {
 public:
  Lexer(const uint8_t* begin, const uint8_t* end, bool binary, bool doubles)
      : m_begin(begin), m_p(begin), m_end(end), m_binary(binary), m_doubles(doubles) {}

  bool binary() const { return m_binary; }
  size_t offset() const { return static_cast<size_t>(m_p - m_begin); }

  // False for a malformed token; End at the end of the data.
  bool next(Token& t) { return m_binary ? nextBinary(t) : nextText(t); }

 private:
  bool nextText(Token& t);
  bool nextBinary(Token& t);
  bool textGuid(Token& t);
  bool textString(Token& t);
  bool textNumber(Token& t);

  size_t left() const { return static_cast<size_t>(m_end - m_p); }
  uint16_t u16() {
    uint16_t v = static_cast<uint16_t>(m_p[0] | (m_p[1] << 8));
    m_p += 2;
    return v;
  }
  uint32_t u32() {
    uint32_t v;
    std::memcpy(&v, m_p, 4);  // little-endian hosts only, as the platform layer assumes
    m_p += 4;
    return v;
  }

  const uint8_t* m_begin;
  const uint8_t* m_p;
  const uint8_t* m_end;
  bool m_binary;
  bool m_doubles;
  uint32_t m_listLeft = 0;
  bool m_listFloat = false;
  std::string m_string;
};

bool Lexer::nextText(Token& t) {
  for (;;) {
    while (m_p < m_end &&
           (*m_p == ' ' || *m_p == '\t' || *m_p == '\r' || *m_p == '\n' || *m_p == '\v' || *m_p == '\f')) {
      ++m_p;
    }
    if (m_p == m_end) {
      t.kind = Tok::End;
      return true;
    }
    if (*m_p == '#' || *m_p == '/') {
      if (*m_p == '/' && (left() < 2 || m_p[1] != '/')) return false;
      const void* nl = std::memchr(m_p, '\n', left());
      m_p = nl ? static_cast<const uint8_t*>(nl) + 1 : m_end;
      continue;
    }
    break;
  }
  const uint8_t c = *m_p;
  switch (c) {
    case '{':
      ++m_p;
      t.kind = Tok::OBrace;
      return true;
    case '}':
      ++m_p;
      t.kind = Tok::CBrace;
      return true;
    case '(':
      ++m_p;
      t.kind = Tok::OParen;
      return true;
    case ')':
      ++m_p;
      t.kind = Tok::CParen;
      return true;
    case '[':
      ++m_p;
      t.kind = Tok::OBracket;
      return true;
    case ']':
      ++m_p;
      t.kind = Tok::CBracket;
      return true;
    case ',':
      ++m_p;
      t.kind = Tok::Comma;
      return true;
    case ';':
      ++m_p;
      t.kind = Tok::Semicolon;
      return true;
    case '.':
      ++m_p;
      t.kind = Tok::Dot;
      return true;
    case '<':
      return textGuid(t);
    case '"':
      return textString(t);
    default:
      break;
  }
  if ((c >= '0' && c <= '9') || c == '+' || c == '-') return textNumber(t);
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_') {
    const uint8_t* start = m_p;
    while (m_p < m_end && ((*m_p >= 'a' && *m_p <= 'z') || (*m_p >= 'A' && *m_p <= 'Z') ||
                           (*m_p >= '0' && *m_p <= '9') || *m_p == '_' || *m_p == '-')) {
      ++m_p;
    }
    size_t n = static_cast<size_t>(m_p - start);
    t.text = std::string_view(reinterpret_cast<const char*>(start), n < kMaxStoredChars ? n : kMaxStoredChars);
    t.kind = keywordOf(t.text);
    return true;
  }
  return false;
}

// "<" 8-4-4-4-12 hexadecimal digits ">".
bool Lexer::textGuid(Token& t) {
  ++m_p;
  const uint8_t* start = m_p;
  while (m_p < m_end && *m_p != '>') {
    if (hexValue(*m_p) < 0 && *m_p != '-') return false;
    ++m_p;
  }
  if (m_p == m_end || m_p - start != 36) return false;
  const uint8_t* g = start;
  ++m_p;
  for (int dash : {8, 13, 18, 23}) {
    if (g[dash] != '-') return false;
  }
  auto hex = [&](int from, int digits) {
    uint32_t v = 0;
    for (int i = 0; i < digits; ++i) {
      int h = hexValue(g[from + i]);
      if (h < 0) return -1ll;
      v = (v << 4) | static_cast<uint32_t>(h);
    }
    return static_cast<long long>(v);
  };
  long long parts[11] = {hex(0, 8),  hex(9, 4),  hex(14, 4), hex(19, 2), hex(21, 2), hex(24, 2),
                         hex(26, 2), hex(28, 2), hex(30, 2), hex(32, 2), hex(34, 2)};
  for (long long p : parts) {
    if (p < 0) return false;
  }
  t.guid.Data1 = static_cast<uint32_t>(parts[0]);
  t.guid.Data2 = static_cast<uint16_t>(parts[1]);
  t.guid.Data3 = static_cast<uint16_t>(parts[2]);
  for (int i = 0; i < 8; ++i) t.guid.Data4[i] = static_cast<uint8_t>(parts[3 + i]);
  t.kind = Tok::Guid;
  return true;
}

bool Lexer::textString(Token& t) {
  ++m_p;
  m_string.clear();
  auto put = [&](uint8_t ch) {
    if (m_string.size() < kMaxStoredChars) m_string.push_back(static_cast<char>(ch));
  };
  for (;;) {
    if (m_p == m_end) return false;
    uint8_t ch = *m_p++;
    if (ch == '"') break;
    if (ch != '\\') {
      put(ch);
      continue;
    }
    if (m_p == m_end) return false;
    ch = *m_p++;
    switch (ch) {
      case 'b':
        put(8);
        break;
      case 'e':
        put(27);
        break;
      case 'f':
        put(12);
        break;
      case 'n':
        put(10);
        break;
      case 'r':
        put(13);
        break;
      case 't':
        put(9);
        break;
      case 'v':
        put(11);
        break;
      case '0': {
        unsigned v = 0;
        for (int i = 0; i < 3 && m_p < m_end && *m_p >= '0' && *m_p <= '7'; ++i) v = v * 8 + (*m_p++ - '0');
        put(static_cast<uint8_t>(v));
        break;
      }
      default:
        put(ch);
        break;
    }
  }
  t.text = m_string;
  t.kind = Tok::String;
  return true;
}

// Sign, digits, and only with a full stop after the digits a fraction and an exponent.
bool Lexer::textNumber(Token& t) {
  const uint8_t* start = m_p;
  if (*m_p == '+' || *m_p == '-') ++m_p;
  const uint8_t* digits = m_p;
  while (m_p < m_end && *m_p >= '0' && *m_p <= '9') ++m_p;
  if (m_p == digits) return false;
  if (m_p < m_end && *m_p == '.') {
    ++m_p;
    while (m_p < m_end && *m_p >= '0' && *m_p <= '9') ++m_p;
    if (m_p < m_end && (*m_p == 'e' || *m_p == 'E')) {
      const uint8_t* e = m_p + 1;
      if (e < m_end && (*e == '+' || *e == '-')) ++e;
      if (e < m_end && *e >= '0' && *e <= '9') {
        m_p = e;
        while (m_p < m_end && *m_p >= '0' && *m_p <= '9') ++m_p;
      }
    }
    // from_chars takes no leading '+'.
    const char* first = reinterpret_cast<const char*>(*start == '+' ? start + 1 : start);
    auto r = std::from_chars(first, reinterpret_cast<const char*>(m_p), t.real);
    if (r.ec == std::errc::result_out_of_range) {
      // Beyond float range: narrowed from a double, which gives the infinity or zero.
      double d;
      if (std::from_chars(first, reinterpret_cast<const char*>(m_p), d).ec != std::errc()) return false;
      t.real = static_cast<float>(d);
    } else if (r.ec != std::errc()) {
      return false;
    }
    t.kind = Tok::Real;
    return true;
  }
  // A signed 32-bit decimal; DWORD values above INT_MAX are kept as their bit pattern.
  uint64_t v = 0;
  for (const uint8_t* d = digits; d < m_p; ++d) {
    v = v * 10 + static_cast<uint64_t>(*d - '0');
    if (v > 0xFFFFFFFFull) return false;
  }
  if (*start == '-') {
    if (v > 0x80000000ull) return false;
    v = static_cast<uint32_t>(-static_cast<int64_t>(v));
  }
  t.integer = static_cast<uint32_t>(v);
  t.kind = Tok::Integer;
  return true;
}

bool Lexer::nextBinary(Token& t) {
  for (;;) {
    if (m_listLeft > 0) {
      --m_listLeft;
      if (!m_listFloat) {
        t.integer = u32();
        t.kind = Tok::Integer;
      } else if (m_doubles) {
        double d;
        std::memcpy(&d, m_p, 8);
        m_p += 8;
        t.real = static_cast<float>(d);
        t.kind = Tok::Real;
      } else {
        std::memcpy(&t.real, m_p, 4);
        m_p += 4;
        t.kind = Tok::Real;
      }
      return true;
    }
    if (m_p == m_end) {
      t.kind = Tok::End;
      return true;
    }
    if (left() < 2) return false;
    const Tok code = static_cast<Tok>(u16());
    switch (code) {
      case Tok::Name:
      case Tok::String: {
        if (left() < 4) return false;
        const uint32_t n = u32();
        if (n > left()) return false;
        t.text = std::string_view(reinterpret_cast<const char*>(m_p), n < kMaxStoredChars ? n : kMaxStoredChars);
        m_p += n;
        if (code == Tok::String) {
          if (left() < 2) return false;
          const Tok end = static_cast<Tok>(u16());
          if (end != Tok::Semicolon && end != Tok::Comma) return false;
        }
        t.kind = code;
        return true;
      }
      case Tok::Integer:
        if (left() < 4) return false;
        t.integer = u32();
        t.kind = Tok::Integer;
        return true;
      case Tok::Guid:
        if (left() < 16) return false;
        t.guid.Data1 = u32();
        t.guid.Data2 = u16();
        t.guid.Data3 = u16();
        std::memcpy(t.guid.Data4, m_p, 8);
        m_p += 8;
        t.kind = Tok::Guid;
        return true;
      case Tok::IntegerList:
      case Tok::FloatList: {
        if (left() < 4) return false;
        const uint32_t n = u32();
        const size_t width = code == Tok::IntegerList ? 4 : (m_doubles ? 8 : 4);
        if (n > left() / width) return false;
        m_listLeft = n;
        m_listFloat = code == Tok::FloatList;
        continue;  // an empty list yields nothing
      }
      default:
        if ((code >= Tok::OBrace && code <= Tok::Semicolon) || code == Tok::Template || isPrimitive(code) ||
            code == Tok::Array) {
          t.kind = code;
          return true;
        }
        return false;
    }
  }
}

class Parser {
 public:
  Parser(Lexer& lexer, Document& doc) : m_lex(lexer), m_doc(doc) {}

  // Fills the document; false on any fault (m_code says which).
  bool run();
  HRESULT code() const { return m_code; }

 private:
  static constexpr uint32_t kDropped = UINT32_MAX;

  bool advance() { return m_lex.next(m_tok) || fail(); }
  bool fail() {
    if (m_code == S_OK) m_code = D3DXFERR_PARSEERROR;
    return false;
  }
  bool expect(Tok kind) { return m_tok.kind == kind ? advance() : fail(); }

  bool parseTemplate();
  bool parseRestriction(Template& t);
  bool parseObject(int depth, uint32_t& index);
  bool skipObjectBody();
  bool packStruct(const Template& t, int depth);
  bool packMember(const Template& owner, size_t memberIndex, const uint32_t* values, int depth);
  bool packValue(Tok type, uint32_t& integerOut);
  bool endOfValue();
  bool resolveReferences();

  const Template* lookup(std::string_view name) const {
    const Template* t = m_doc.own.find(name);
    if (!t && m_doc.registered) t = m_doc.registered->find(name);
    return t;
  }
  void put(const void* p, size_t n) {
    const size_t at = m_doc.data.size();
    m_doc.data.resize(at + n);
    std::memcpy(m_doc.data.data() + at, p, n);
  }

  struct PendingReference {
    uint32_t parent;
    size_t child;
    std::string name;
    GUID id;
    bool byId;
  };

  Lexer& m_lex;
  Document& m_doc;
  Token m_tok;
  HRESULT m_code = S_OK;
  uint64_t m_valuesRead = 0;
  std::vector<PendingReference> m_references;
};

bool Parser::run() {
  if (!advance()) return false;
  while (m_tok.kind != Tok::End) {
    if (m_tok.kind == Tok::Template) {
      if (!parseTemplate()) return false;
    } else if (m_tok.kind == Tok::Name) {
      uint32_t index;
      if (!parseObject(0, index)) return false;
      if (index != kDropped) m_doc.topLevel.push_back(index);
    } else {
      return fail();
    }
  }
  if (m_doc.data.size() > UINT32_MAX) {
    m_code = E_OUTOFMEMORY;
    return false;
  }
  return resolveReferences();
}

bool Parser::parseTemplate() {
  auto t = std::make_shared<Template>();
  if (!advance() || m_tok.kind != Tok::Name) return fail();
  t->name = m_tok.text;
  if (!advance() || !expect(Tok::OBrace) || m_tok.kind != Tok::Guid) return fail();
  t->id = m_tok.guid;
  if (!advance()) return false;
  while (m_tok.kind != Tok::CBrace && m_tok.kind != Tok::OBracket) {
    Member m;
    if (m_tok.kind == Tok::Array) {
      m.isArray = true;
      if (!advance()) return false;
    }
    if (m_tok.kind == Tok::Name) {
      m.type = Tok::Name;
      m.typeName = m_tok.text;
    } else if (isPrimitive(m_tok.kind)) {
      m.type = m_tok.kind;
    } else {
      return fail();
    }
    if (!advance() || m_tok.kind != Tok::Name) return fail();
    m.name = m_tok.text;
    if (!advance()) return false;
    while (m.isArray && m_tok.kind == Tok::OBracket) {
      if (!advance()) return false;
      Member::Dimension d;
      if (m_tok.kind == Tok::Integer) {
        d.count = m_tok.integer;
      } else if (m_tok.kind == Tok::Name) {
        // Only an earlier scalar integer member can hold a count.
        for (size_t i = 0; i < t->members.size(); ++i) {
          const Member& earlier = t->members[i];
          if (earlier.name == m_tok.text && !earlier.isArray && isIntegerType(earlier.type)) {
            d.member = static_cast<int32_t>(i);
          }
        }
        if (d.member < 0) return fail();
      } else {
        return fail();
      }
      if (!advance() || !expect(Tok::CBracket)) return fail();
      m.dims.push_back(d);
    }
    if (m.isArray && m.dims.empty()) return fail();
    if (!expect(Tok::Semicolon)) return false;
    t->members.push_back(std::move(m));
  }
  if (m_tok.kind == Tok::OBracket && !parseRestriction(*t)) return false;
  if (!expect(Tok::CBrace)) return false;
  m_doc.own.add(std::move(t));
  return true;
}

// "[...]" (open) or "[name <guid>, name, ...]" (restricted); the current token is "[".
bool Parser::parseRestriction(Template& t) {
  if (!advance()) return false;
  if (m_tok.kind == Tok::Dot) {
    for (int i = 0; i < 3; ++i) {
      if (!expect(Tok::Dot)) return false;
    }
    t.restriction = Restriction::Open;
    return expect(Tok::CBracket);
  }
  t.restriction = Restriction::Restricted;
  for (;;) {
    if (m_tok.kind == Tok::Name) {
      t.allowedNames.emplace_back(m_tok.text);
    } else if (m_tok.kind == Tok::Binary || m_tok.kind == Tok::BinaryResource) {
      t.allowedNames.emplace_back(m_tok.kind == Tok::Binary ? "BINARY" : "BINARY_RESOURCE");
    } else {
      return fail();
    }
    if (!advance()) return false;
    if (m_tok.kind == Tok::Guid) {
      t.allowedIds.push_back(m_tok.guid);
      if (!advance()) return false;
    }
    if (m_tok.kind != Tok::Comma) break;
    if (!advance()) return false;
  }
  return expect(Tok::CBracket);
}

// The current token is the object's template name. `index` becomes the new node, or kDropped
// for an object of an unknown template (skipped with everything inside it).
bool Parser::parseObject(int depth, uint32_t& index) {
  if (depth >= kMaxDepth) return fail();
  const Template* type = lookup(m_tok.text);
  if (!advance()) return false;
  std::string name;
  if (m_tok.kind == Tok::Name) {
    name = m_tok.text;
    if (!advance()) return false;
  }
  if (!expect(Tok::OBrace)) return false;
  GUID id{};
  if (m_tok.kind == Tok::Guid) {
    id = m_tok.guid;
    if (!advance()) return false;
  }
  if (!type) {
    index = kDropped;
    return skipObjectBody();
  }
  index = static_cast<uint32_t>(m_doc.nodes.size());
  {
    Node n;
    n.type = type;
    n.name = std::move(name);
    n.id = id;
    n.dataOffset = static_cast<uint32_t>(m_doc.data.size());
    m_doc.nodes.push_back(std::move(n));
  }
  const size_t start = m_doc.data.size();
  if (!packStruct(*type, depth)) return false;
  if (m_doc.data.size() - start > UINT32_MAX) {
    m_code = E_OUTOFMEMORY;
    return false;
  }
  m_doc.nodes[index].dataSize = static_cast<uint32_t>(m_doc.data.size() - start);
  while (m_tok.kind != Tok::CBrace) {
    if (m_tok.kind == Tok::OBrace) {
      PendingReference ref{index, m_doc.nodes[index].children.size(), {}, {}, false};
      if (!advance()) return false;
      if (m_tok.kind == Tok::Name) {
        ref.name = m_tok.text;
        if (!advance()) return false;
        if (m_tok.kind == Tok::Guid && !advance()) return false;
      } else if (m_tok.kind == Tok::Guid) {
        ref.id = m_tok.guid;
        ref.byId = true;
        if (!advance()) return false;
      } else {
        return fail();
      }
      if (!expect(Tok::CBrace)) return false;
      m_doc.nodes[index].children.push_back({0, true});
      m_references.push_back(std::move(ref));
    } else if (m_tok.kind == Tok::Name) {
      uint32_t child;
      if (!parseObject(depth + 1, child)) return false;
      if (child == kDropped) continue;
      if (!type->allows(*m_doc.nodes[child].type)) return fail();
      m_doc.nodes[index].children.push_back({child, false});
    } else {
      return fail();
    }
  }
  return advance();
}

// Skips to the "}" that closes the current object, tokenizing everything on the way.
bool Parser::skipObjectBody() {
  int open = 1;
  while (open > 0) {
    if (m_tok.kind == Tok::End) return fail();
    if (m_tok.kind == Tok::OBrace) ++open;
    if (m_tok.kind == Tok::CBrace) --open;
    if (!advance()) return false;
  }
  return true;
}

bool Parser::packStruct(const Template& t, int depth) {
  if (depth >= kMaxDepth) return fail();
  // Values of scalar members, for the array dimensions that name them.
  uint32_t local[16];
  std::vector<uint32_t> heap;
  uint32_t* values = local;
  if (t.members.size() > 16) {
    heap.resize(t.members.size());
    values = heap.data();
  }
  for (size_t i = 0; i < t.members.size(); ++i) {
    const Member& m = t.members[i];
    values[i] = 0;
    if (!m.isArray && m.type != Tok::Name) {
      if (!packValue(m.type, values[i])) return false;
    } else if (!packMember(t, i, values, depth)) {
      return false;
    }
  }
  return true;
}

bool Parser::packMember(const Template& owner, size_t memberIndex, const uint32_t* values, int depth) {
  const Member& m = owner.members[memberIndex];
  uint64_t count = 1;
  for (const Member::Dimension& d : m.dims) {
    count *= d.member >= 0 ? values[d.member] : d.count;
    if (count > UINT32_MAX) return fail();
  }
  if (m.type != Tok::Name) {
    uint32_t ignored;
    for (uint64_t i = 0; i < count; ++i) {
      if (!packValue(m.type, ignored)) return false;
    }
    return true;
  }
  const Template* nested = lookup(m.typeName);
  if (!nested) return fail();
  for (uint64_t i = 0; i < count; ++i) {
    const uint64_t before = m_valuesRead;
    if (!packStruct(*nested, depth + 1)) return false;
    // A structure that holds no values packs to nothing however often it repeats.
    if (m_valuesRead == before) break;
  }
  return true;
}

// Packs one primitive value at its width. Integer types report their value for counts.
bool Parser::packValue(Tok type, uint32_t& integerOut) {
  ++m_valuesRead;
  switch (type) {
    case Tok::Lpstr:
    case Tok::Cstring:
    case Tok::Unicode: {
      if (m_tok.kind != Tok::String) return fail();
      if (type == Tok::Unicode) {
        for (char c : m_tok.text) {
          const uint16_t w = static_cast<uint8_t>(c);
          put(&w, 2);
        }
        const uint16_t zero = 0;
        put(&zero, 2);
      } else {
        put(m_tok.text.data(), m_tok.text.size());
        put("", 1);
      }
      break;
    }
    case Tok::Float:
    case Tok::Double: {
      float f;
      if (m_tok.kind == Tok::Real) {
        f = m_tok.real;
      } else if (m_tok.kind == Tok::Integer) {
        f = static_cast<float>(static_cast<int32_t>(m_tok.integer));
      } else {
        return fail();
      }
      if (type == Tok::Float) {
        put(&f, 4);
      } else {
        const double d = f;
        put(&d, 8);
      }
      break;
    }
    case Tok::Word:
    case Tok::Sword:
    case Tok::Char:
    case Tok::Uchar:
    case Tok::Dword:
    case Tok::Sdword:
    case Tok::Ulonglong: {
      if (m_tok.kind != Tok::Integer) return fail();
      integerOut = m_tok.integer;
      const size_t width = (type == Tok::Char || type == Tok::Uchar)   ? 1
                           : (type == Tok::Word || type == Tok::Sword) ? 2
                                                                       : 4;
      put(&m_tok.integer, width);
      if (type == Tok::Ulonglong) {
        const uint32_t high = (m_tok.integer & 0x80000000u) ? 0xFFFFFFFFu : 0;
        put(&high, 4);
      }
      break;
    }
    default:
      return fail();  // BINARY members carry no packable value
  }
  if (!advance()) return false;
  return endOfValue();
}

// Text values end with at least one separator; binary lists carry none, but any present are
// skipped the same way.
bool Parser::endOfValue() {
  if (!m_lex.binary() && m_tok.kind != Tok::Comma && m_tok.kind != Tok::Semicolon) return fail();
  while (m_tok.kind == Tok::Comma || m_tok.kind == Tok::Semicolon) {
    if (!advance()) return false;
  }
  return true;
}

bool Parser::resolveReferences() {
  if (m_references.empty()) return true;
  std::unordered_map<std::string_view, uint32_t> byName;
  for (uint32_t i = 0; i < m_doc.nodes.size(); ++i) {
    if (!m_doc.nodes[i].name.empty()) byName.emplace(m_doc.nodes[i].name, i);
  }
  for (const PendingReference& ref : m_references) {
    uint32_t target = kDropped;
    if (ref.byId) {
      for (uint32_t i = 0; i < m_doc.nodes.size() && target == kDropped; ++i) {
        if (m_doc.nodes[i].id == ref.id) target = i;
      }
    } else if (auto it = byName.find(ref.name); it != byName.end()) {
      target = it->second;
    }
    if (target == kDropped) {
      m_code = D3DXFERR_BADDATAREFERENCE;
      return false;
    }
    Node& parent = m_doc.nodes[ref.parent];
    if (!parent.type->allows(*m_doc.nodes[target].type)) return fail();
    parent.children[ref.child].node = target;
  }
  return true;
}

}  // namespace

HRESULT parseXFile(const void* bytes, size_t size, std::shared_ptr<const TemplateTable> registered, Document& out,
                   size_t* errorOffset) {
  const auto* p = static_cast<const uint8_t*>(bytes);
  if (size < 16 || std::memcmp(p, "xof ", 4) != 0) return D3DXFERR_BADFILETYPE;
  if (std::memcmp(p + 4, "0302", 4) != 0 && std::memcmp(p + 4, "0303", 4) != 0) return D3DXFERR_BADFILEVERSION;
  const bool text = std::memcmp(p + 8, "txt ", 4) == 0;
  const bool binary = std::memcmp(p + 8, "bin ", 4) == 0;
  const bool compressed = std::memcmp(p + 8, "tzip", 4) == 0 || std::memcmp(p + 8, "bzip", 4) == 0;
  if (!text && !binary && !compressed) return D3DXFERR_BADFILETYPE;
  const bool doubles = std::memcmp(p + 12, "0064", 4) == 0;
  if (!doubles && std::memcmp(p + 12, "0032", 4) != 0) return D3DXFERR_BADFILEFLOATSIZE;
  try {
    if (compressed) {
      std::vector<uint8_t> inflated;
      if (HRESULT hr = inflateXFile(p, size, inflated); FAILED(hr)) {
        if (errorOffset) *errorOffset = 16;
        return hr;
      }
      return parseXFile(inflated.data(), inflated.size(), std::move(registered), out, errorOffset);
    }
    out = Document{};
    out.registered = std::move(registered);
    Lexer lexer(p + 16, p + size, binary, doubles);
    Parser parser(lexer, out);
    if (!parser.run()) {
      if (errorOffset) *errorOffset = 16 + lexer.offset();
      out = Document{};
      return parser.code();
    }
    return S_OK;
  } catch (const std::bad_alloc&) {
    out = Document{};
    return E_OUTOFMEMORY;
  }
}

}  // namespace d3dx::xfile
