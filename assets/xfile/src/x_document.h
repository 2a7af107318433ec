// The reader's own model of an X file: templates, the parsed data tree, and the parse entry
// points. Shared by the interface objects and the xdump tool; not part of the published API.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <d3dx9xof.h>

namespace d3dx::xfile {

// Binary token codes; the text tokenizer produces the same ones.
enum class Tok : uint16_t {
  End = 0,
  Name = 1,
  String = 2,
  Integer = 3,
  Real = 4,
  Guid = 5,
  IntegerList = 6,
  FloatList = 7,
  OBrace = 10,
  CBrace = 11,
  OParen = 12,
  CParen = 13,
  OBracket = 14,
  CBracket = 15,
  OAngle = 16,
  CAngle = 17,
  Dot = 18,
  Comma = 19,
  Semicolon = 20,
  Template = 31,
  Word = 40,
  Dword = 41,
  Float = 42,
  Double = 43,
  Char = 44,
  Uchar = 45,
  Sword = 46,
  Sdword = 47,
  Void = 48,
  Lpstr = 49,  // STRING
  Unicode = 50,
  Cstring = 51,
  Array = 52,
  Ulonglong = 53,
  Binary = 54,
  BinaryResource = 55,
};

struct Template;

struct Member {
  Tok type = Tok::Dword;  // a primitive keyword, or Tok::Name for a member of another template
  std::string typeName;   // for Tok::Name
  std::string name;
  // Array dimensions: a fixed count, or the index of an earlier scalar member holding it.
  struct Dimension {
    uint32_t count = 0;
    int32_t member = -1;
  };
  std::vector<Dimension> dims;
  bool isArray = false;
};

enum class Restriction : uint8_t { Closed, Open, Restricted };

struct Template {
  std::string name;
  GUID id{};
  std::vector<Member> members;
  Restriction restriction = Restriction::Closed;
  std::vector<std::string> allowedNames;  // restricted: by name (BINARY included as a name)
  std::vector<GUID> allowedIds;           // and by GUID where the declaration gave one
  bool allows(const Template& child) const;
};

// Templates in declaration order; lookups by name ignore case and the first declaration of a
// name wins. A declaration whose GUID is already present is accepted and not added.
class TemplateTable {
 public:
  void add(std::shared_ptr<const Template> t);
  void addAll(const TemplateTable& other);
  const Template* find(std::string_view name) const;
  size_t size() const { return m_templates.size(); }
  const std::vector<std::shared_ptr<const Template>>& all() const { return m_templates; }

 private:
  std::vector<std::shared_ptr<const Template>> m_templates;
  std::unordered_map<std::string, size_t> m_byName;  // lower-cased name
};

struct Node {
  const Template* type = nullptr;  // kept alive by the document's tables
  std::string name;
  GUID id{};
  uint32_t dataOffset = 0;
  uint32_t dataSize = 0;
  struct Child {
    uint32_t node;
    bool reference;
  };
  std::vector<Child> children;
};

struct Document {
  std::shared_ptr<const TemplateTable> registered;
  TemplateTable own;        // the file's own declarations
  std::vector<Node> nodes;  // every data object, in file order
  std::vector<uint32_t> topLevel;
  std::vector<uint8_t> data;  // packed member data of all objects

  const uint8_t* dataOf(const Node& n) const { return data.data() + n.dataOffset; }
};

// Parses a whole X file (header included) against the registered templates. On failure
// returns the code and, for parse errors, the byte offset in the (decompressed) data where
// reading stopped.
HRESULT parseXFile(const void* bytes, size_t size, std::shared_ptr<const TemplateTable> registered, Document& out,
                   size_t* errorOffset = nullptr);

// The body of a "tzip"/"bzip" file inflated behind a header that names the uncompressed
// format: a stream parseXFile reads like any other. D3DXFERR_PARSEERROR for damaged data.
HRESULT inflateXFile(const uint8_t* bytes, size_t size, std::vector<uint8_t>& out);

// Nesting limit for data objects and template members: deeper input fails cleanly.
inline constexpr int kMaxDepth = 64;

}  // namespace d3dx::xfile
