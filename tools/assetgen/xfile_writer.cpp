#include "xfile_writer.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace assetgen {
namespace {

enum SetMask : unsigned { kMesh = 1, kAnim = 2, kStd = 4 };

struct TemplateText {
  const char* name;
  unsigned sets;
  const char* body;
};

// The published declarations of the standard templates, in the order the files list them.
const TemplateText kTemplates[] = {
    {"Header", kMesh | kAnim | kStd,
     "<3D82AB43-62DA-11cf-AB39-0020AF71E433>\n WORD major;\n WORD minor;\n DWORD flags;\n"},
    {"Vector", kMesh | kAnim | kStd, "<3D82AB5E-62DA-11cf-AB39-0020AF71E433>\n FLOAT x;\n FLOAT y;\n FLOAT z;\n"},
    {"Coords2d", kMesh | kAnim | kStd, "<F6F23F44-7686-11cf-8F52-0040333594A3>\n FLOAT u;\n FLOAT v;\n"},
    {"Matrix4x4", kMesh | kAnim | kStd, "<F6F23F45-7686-11cf-8F52-0040333594A3>\n array FLOAT matrix[16];\n"},
    {"ColorRGBA", kMesh | kAnim | kStd,
     "<35FF44E0-6C7C-11cf-8F52-0040333594A3>\n FLOAT red;\n FLOAT green;\n FLOAT blue;\n FLOAT alpha;\n"},
    {"ColorRGB", kMesh | kAnim | kStd,
     "<D3E16E81-7835-11cf-8F52-0040333594A3>\n FLOAT red;\n FLOAT green;\n FLOAT blue;\n"},
    {"IndexedColor", kMesh | kStd, "<1630B820-7842-11cf-8F52-0040333594A3>\n DWORD index;\n ColorRGBA indexColor;\n"},
    {"Boolean", kMesh, "<4885AE61-78E8-11cf-8F52-0040333594A3>\n WORD truefalse;\n"},
    {"Boolean", kStd, "<537DA6A0-CA37-11d0-941C-0080C80CFA7B>\n DWORD truefalse;\n"},
    {"Boolean2d", kMesh | kStd, "<4885AE63-78E8-11cf-8F52-0040333594A3>\n Boolean u;\n Boolean v;\n"},
    {"MaterialWrap", kMesh | kStd, "<4885AE60-78E8-11cf-8F52-0040333594A3>\n Boolean u;\n Boolean v;\n"},
    {"TextureFilename", kMesh | kAnim | kStd, "<A42790E1-7810-11cf-8F52-0040333594A3>\n STRING filename;\n"},
    {"Material", kMesh | kAnim | kStd,
     "<3D82AB4D-62DA-11cf-AB39-0020AF71E433>\n ColorRGBA faceColor;\n FLOAT power;\n ColorRGB specularColor;\n"
     " ColorRGB emissiveColor;\n [...]\n"},
    {"MeshFace", kMesh | kAnim | kStd,
     "<3D82AB5F-62DA-11cf-AB39-0020AF71E433>\n DWORD nFaceVertexIndices;\n"
     " array DWORD faceVertexIndices[nFaceVertexIndices];\n"},
    {"MeshFaceWraps", kMesh,
     "<4885AE62-78E8-11cf-8F52-0040333594A3>\n DWORD nFaceWrapValues;\n Boolean2d faceWrapValues;\n"},
    {"MeshFaceWraps", kStd,
     "<ED1EC5C0-C0A8-11d0-941C-0080C80CFA7B>\n DWORD nFaceWrapValues;\n"
     " array Boolean2d faceWrapValues[nFaceWrapValues];\n"},
    {"MeshTextureCoords", kMesh | kAnim | kStd,
     "<F6F23F40-7686-11cf-8F52-0040333594A3>\n DWORD nTextureCoords;\n array Coords2d "
     "textureCoords[nTextureCoords];\n"},
    {"MeshMaterialList", kMesh | kAnim | kStd,
     "<F6F23F42-7686-11cf-8F52-0040333594A3>\n DWORD nMaterials;\n DWORD nFaceIndexes;\n"
     " array DWORD faceIndexes[nFaceIndexes];\n [Material]\n"},
    {"MeshNormals", kMesh | kAnim | kStd,
     "<F6F23F43-7686-11cf-8F52-0040333594A3>\n DWORD nNormals;\n array Vector normals[nNormals];\n"
     " DWORD nFaceNormals;\n array MeshFace faceNormals[nFaceNormals];\n"},
    {"MeshVertexColors", kMesh | kStd,
     "<1630B821-7842-11cf-8F52-0040333594A3>\n DWORD nVertexColors;\n array IndexedColor "
     "vertexColors[nVertexColors];\n"},
    {"Mesh", kMesh | kAnim | kStd,
     "<3D82AB44-62DA-11cf-AB39-0020AF71E433>\n DWORD nVertices;\n array Vector vertices[nVertices];\n DWORD nFaces;\n"
     " array MeshFace faces[nFaces];\n [...]\n"},
    {"FrameTransformMatrix", kMesh | kAnim | kStd, "<F6F23F41-7686-11cf-8F52-0040333594A3>\n Matrix4x4 frameMatrix;\n"},
    {"Frame", kMesh | kAnim | kStd, "<3D82AB46-62DA-11cf-AB39-0020AF71E433>\n [...]\n"},
    {"FloatKeys", kAnim | kStd,
     "<10DD46A9-775B-11cf-8F52-0040333594A3>\n DWORD nValues;\n array FLOAT values[nValues];\n"},
    {"TimedFloatKeys", kAnim | kStd, "<F406B180-7B3B-11cf-8F52-0040333594A3>\n DWORD time;\n FloatKeys tfkeys;\n"},
    {"AnimationKey", kAnim | kStd,
     "<10DD46A8-775B-11cf-8F52-0040333594A3>\n DWORD keyType;\n DWORD nKeys;\n array TimedFloatKeys keys[nKeys];\n"},
    {"AnimationOptions", kAnim | kStd,
     "<E2BF56C0-840F-11cf-8F52-0040333594A3>\n DWORD openclosed;\n DWORD positionquality;\n"},
    {"Animation", kAnim | kStd, "<3D82AB4F-62DA-11cf-AB39-0020AF71E433>\n [...]\n"},
    {"AnimationSet", kAnim | kStd, "<3D82AB50-62DA-11cf-AB39-0020AF71E433>\n [Animation]\n"},
    {"XSkinMeshHeader", kAnim,
     "<3CF169CE-FF7C-44ab-93C0-F78F62D172E2>\n WORD nMaxSkinWeightsPerVertex;\n WORD nMaxSkinWeightsPerFace;\n"
     " WORD nBones;\n"},
    {"VertexDuplicationIndices", kAnim,
     "<B8D65549-D7C9-4995-89CF-53A9A8B031E3>\n DWORD nIndices;\n DWORD nOriginalVertices;\n"
     " array DWORD indices[nIndices];\n"},
    {"SkinWeights", kAnim,
     "<6F0D123B-BAD2-4167-A0D0-80224F25FABB>\n STRING transformNodeName;\n DWORD nWeights;\n"
     " array DWORD vertexIndices[nWeights];\n array FLOAT weights[nWeights];\n Matrix4x4 matrixOffset;\n"},
    {"InlineData", kStd, "<3A23EEA0-94B1-11d0-AB39-0020AF71E433>\n [BINARY]\n"},
    {"Url", kStd, "<3A23EEA1-94B1-11d0-AB39-0020AF71E433>\n DWORD nUrls;\n array STRING urls[nUrls];\n"},
    {"ProgressiveMesh", kStd,
     "<8A63C360-997D-11d0-941C-0080C80CFA7B>\n [Url <3A23EEA1-94B1-11d0-AB39-0020AF71E433>,"
     " InlineData <3A23EEA0-94B1-11d0-AB39-0020AF71E433>]\n"},
    {"Guid", kStd,
     "<A42790E0-7810-11cf-8F52-0040333594A3>\n DWORD data1;\n WORD data2;\n WORD data3;\n array UCHAR data4[8];\n"},
    {"StringProperty", kStd, "<7F0F21E0-BFE1-11d1-82C0-00A0C9697271>\n STRING key;\n STRING value;\n"},
    {"PropertyBag", kStd,
     "<7F0F21E1-BFE1-11d1-82C0-00A0C9697271>\n [StringProperty <7F0F21E0-BFE1-11d1-82C0-00A0C9697271>]\n"},
    {"ExternalVisual", kStd, "<98116AA0-BDBA-11d1-82C0-00A0C9697271>\n Guid guidExternalVisual;\n [...]\n"},
    {"RightHanded", kStd, "<7F5D5EA0-D53A-11d1-82C0-00A0C9697271>\n DWORD bRightHanded;\n"},
};

unsigned maskOf(XTemplateSet set) {
  switch (set) {
    case XTemplateSet::kMesh:
      return kMesh;
    case XTemplateSet::kAnimatedFrames:
      return kAnim;
    case XTemplateSet::kStandard:
      return kStd;
  }
  return 0;
}

using Token = XWriter::Token;

Token name(const std::string& s) { return {Token::kName, s}; }
Token punct(char c) { return {Token::kPunct, std::string(1, c)}; }
Token sep(char c) { return {Token::kSeparator, std::string(1, c)}; }
Token integer(uint32_t v) { return {Token::kInteger, std::to_string(v), v}; }

// Binary token codes of the X format.
uint16_t keywordCode(const std::string& word) {
  static const std::pair<const char*, uint16_t> kKeywords[] = {
      {"template", 31}, {"WORD", 40},      {"DWORD", 41},  {"FLOAT", 42},          {"DOUBLE", 43},  {"CHAR", 44},
      {"UCHAR", 45},    {"SWORD", 46},     {"SDWORD", 47}, {"STRING", 49},         {"UNICODE", 50}, {"CSTRING", 51},
      {"array", 52},    {"ULONGLONG", 53}, {"BINARY", 54}, {"BINARY_RESOURCE", 55}};
  for (const auto& [text, code] : kKeywords) {
    if (word == text) return code;
  }
  return 0;
}

uint16_t punctCode(char c) {
  switch (c) {
    case '{':
      return 10;
    case '}':
      return 11;
    case '[':
      return 14;
    case ']':
      return 15;
    case '.':
      return 18;
    case ',':
      return 19;
    case ';':
      return 20;
  }
  throw std::logic_error("no token for punctuation");
}

// Splits a template declaration, as written for the text form, into tokens.
std::vector<Token> declarationTokens(const std::string& text) {
  std::vector<Token> out;
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == ' ' || c == '\n') {
      ++i;
    } else if (c == '<') {
      const size_t end = text.find('>', i);
      out.push_back({Token::kGuid, text.substr(i + 1, end - i - 1)});
      i = end + 1;
    } else if (std::strchr("{}[].,;", c)) {
      out.push_back(punct(c));
      ++i;
    } else {
      size_t end = i;
      while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_')) ++end;
      const std::string word = text.substr(i, end - i);
      if (std::isdigit(static_cast<unsigned char>(word[0]))) {
        out.push_back({Token::kDimension, word, static_cast<uint32_t>(std::stoul(word))});
      } else {
        out.push_back({keywordCode(word) ? Token::kKeyword : Token::kName, word});
      }
      i = end;
    }
  }
  return out;
}

// The text form puts no space next to separators, brackets and full stops.
bool tight(const Token& t) {
  return (t.kind == Token::kPunct || t.kind == Token::kSeparator) && t.text != "{" && t.text != "}";
}

void writeGuid(ByteWriter& w, const std::string& text) {
  // 8-4-4-4-12 hexadecimal digits: Data1, Data2, Data3, then the eight bytes of Data4.
  auto hex = [&](size_t at, size_t n) { return static_cast<uint32_t>(std::stoul(text.substr(at, n), nullptr, 16)); };
  w.u32(hex(0, 8));
  w.u16(static_cast<uint16_t>(hex(9, 4)));
  w.u16(static_cast<uint16_t>(hex(14, 4)));
  w.u8(static_cast<uint8_t>(hex(19, 2)));
  w.u8(static_cast<uint8_t>(hex(21, 2)));
  for (size_t k = 0; k < 6; ++k) w.u8(static_cast<uint8_t>(hex(24 + 2 * k, 2)));
}

// Raw deflate blocks of at most 32768 bytes, each primed with the previous block.
void writeCompressed(ByteWriter& out, const std::vector<uint8_t>& body) {
  constexpr size_t kBlock = 32768;
  z_stream z{};
  if (deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) throw std::bad_alloc();
  std::vector<uint8_t> packed(deflateBound(&z, kBlock));
  for (size_t at = 0; at < body.size(); at += kBlock) {
    const size_t n = std::min(kBlock, body.size() - at);
    deflateReset(&z);
    if (at > 0) deflateSetDictionary(&z, body.data() + at - kBlock, kBlock);
    z.next_in = const_cast<Bytef*>(body.data() + at);
    z.avail_in = static_cast<uInt>(n);
    z.next_out = packed.data();
    z.avail_out = static_cast<uInt>(packed.size());
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) {
      deflateEnd(&z);
      throw std::runtime_error("deflate did not finish a block");
    }
    const size_t packedSize = packed.size() - z.avail_out;
    out.u16(static_cast<uint16_t>(n));
    out.u16(static_cast<uint16_t>(packedSize + 2));
    out.text("CK");
    out.bytes(packed.data(), packedSize);
  }
  deflateEnd(&z);
}

}  // namespace

XWriter::XWriter(XFloatSize floatSize, XTemplateSet templates, XFormat format)
    : m_floatSize(floatSize), m_format(format) {
  if (m_format == XFormat::kText || m_format == XFormat::kCompressedText) m_text.push_back('\n');
  for (const TemplateText& t : kTemplates) {
    if (t.sets & maskOf(templates)) declareTemplate(t.name, t.body);
  }
  if (templates == XTemplateSet::kStandard) return;
  line(0, {name("Header"), punct('{')});
  line(1, {integer(1), sep(';')});
  line(1, {integer(0), sep(';')});
  line(1, {integer(1), sep(';')});
  line(0, {punct('}')});
}

void XWriter::declareTemplate(const char* templateName, const char* body) {
  if (m_format == XFormat::kText || m_format == XFormat::kCompressedText) {
    m_text += "template ";
    m_text += templateName;
    m_text += " {\n ";
    m_text += body;
    m_text += "}\n\n";
    return;
  }
  const std::string text = std::string("template ") + templateName + " {" + body + "}";
  for (const Token& t : declarationTokens(text)) line(-1, {t});
}

XWriter::Token XWriter::real(double v) const {
  // Always with a decimal point: a number without one is an integer token to the reader.
  char buf[64];
  if (std::abs(v) < 5e-7) v = 0.0;  // no "-0.000000"
  std::snprintf(buf, sizeof buf, "%.6f", v);
  return {Token::kReal, buf};
}

std::vector<XWriter::Token> XWriter::vec3(Vec3 v) const {
  return {real(v.x), sep(';'), real(v.y), sep(';'), real(v.z), sep(';')};
}

// A line of the text form, or the tokens of the binary form (indent -1: no line break).
void XWriter::line(int indent, const std::vector<Token>& tokens) {
  if (m_format == XFormat::kText || m_format == XFormat::kCompressedText) {
    m_text.append(static_cast<size_t>(indent + m_depth), ' ');
    for (size_t i = 0; i < tokens.size(); ++i) {
      if (i > 0 && !tight(tokens[i - 1]) && !tight(tokens[i])) m_text += ' ';
      const Token& t = tokens[i];
      const char* open = t.kind == Token::kString ? "\"" : t.kind == Token::kGuid ? "<" : "";
      const char* close = t.kind == Token::kString ? "\"" : t.kind == Token::kGuid ? ">" : "";
      m_text += open;
      m_text += t.text;
      m_text += close;
    }
    m_text += '\n';
    return;
  }
  for (const Token& t : tokens) {
    switch (t.kind) {
      case Token::kSeparator:
        break;  // binary lists need none
      case Token::kInteger:
      case Token::kReal:
        if (!m_list.empty() && m_list.front().kind != t.kind) flushList();
        m_list.push_back(t);
        break;
      default:
        flushList();
        if (t.kind == Token::kName || t.kind == Token::kString) {
          m_binary.u16(t.kind == Token::kName ? 1 : 2);
          m_binary.u32(static_cast<uint32_t>(t.text.size()));
          m_binary.text(t.text);
          if (t.kind == Token::kString) m_binary.u16(punctCode(';'));
        } else if (t.kind == Token::kKeyword) {
          m_binary.u16(keywordCode(t.text));
        } else if (t.kind == Token::kPunct) {
          m_binary.u16(punctCode(t.text[0]));
        } else if (t.kind == Token::kDimension) {
          m_binary.u16(3);
          m_binary.u32(t.integer);
        } else if (t.kind == Token::kGuid) {
          m_binary.u16(5);
          writeGuid(m_binary, t.text);
        }
    }
  }
}

void XWriter::flushList() {
  if (m_list.empty()) return;
  const bool reals = m_list.front().kind == Token::kReal;
  m_binary.u16(reals ? 7 : 6);
  m_binary.u32(static_cast<uint32_t>(m_list.size()));
  for (const Token& t : m_list) {
    if (!reals) {
      m_binary.u32(t.integer);
    } else if (m_floatSize == XFloatSize::k64) {
      // The value the text form spells, so that both forms read alike.
      const double d = std::strtod(t.text.c_str(), nullptr);
      m_binary.bytes(&d, 8);
    } else {
      const float f = std::strtof(t.text.c_str(), nullptr);
      m_binary.bytes(&f, 4);
    }
  }
  m_list.clear();
}

std::vector<uint8_t> XWriter::take() {
  flushList();
  static const char* const kFormatNames[] = {"txt ", "bin ", "tzip", "bzip"};
  ByteWriter out;
  out.text("xof 0302");
  out.text(kFormatNames[static_cast<int>(m_format)]);
  out.text(m_floatSize == XFloatSize::k64 ? "0064" : "0032");
  std::vector<uint8_t> body = m_binary.take();
  if (m_format == XFormat::kText || m_format == XFormat::kCompressedText) body.assign(m_text.begin(), m_text.end());
  m_text.clear();
  if (m_format == XFormat::kText || m_format == XFormat::kBinary) {
    out.bytes(body.data(), body.size());
  } else {
    out.u32(static_cast<uint32_t>(16 + body.size()));
    writeCompressed(out, body);
  }
  return out.take();
}

void XWriter::mesh(const Mesh& mesh, const std::string& meshName, const XMeshOptions& options, int indent) {
  const int i0 = indent, i1 = indent + 1, i2 = indent + 2;
  auto count = [](size_t n) { return std::vector<Token>{integer(static_cast<uint32_t>(n)), sep(';')}; };
  auto last = [](size_t k, size_t n) { return sep(k + 1 < n ? ',' : ';'); };
  auto faceList = [&](int ind) {
    line(ind, count(mesh.faces.size()));
    for (size_t f = 0; f < mesh.faces.size(); ++f) {
      std::vector<Token> s = count(mesh.faces[f].size());
      for (size_t k = 0; k < mesh.faces[f].size(); ++k) {
        s.push_back(integer(mesh.faces[f][k]));
        s.push_back(last(k, mesh.faces[f].size()));
      }
      s.push_back(last(f, mesh.faces.size()));
      line(ind, s);
    }
  };
  auto vectorList = [&](int ind, auto member) {
    line(ind, count(mesh.vertices.size()));
    for (size_t v = 0; v < mesh.vertices.size(); ++v) {
      std::vector<Token> s = vec3(mesh.vertices[v].*member);
      s.push_back(last(v, mesh.vertices.size()));
      line(ind, s);
    }
  };
  line(i0, {name("Mesh"), name(meshName), punct('{')});
  vectorList(i1, &Mesh::Vertex::position);
  faceList(i1);

  line(i1, {name("MeshNormals"), punct('{')});
  vectorList(i2, &Mesh::Vertex::normal);
  faceList(i2);
  line(i1, {punct('}')});

  line(i1, {name("MeshTextureCoords"), punct('{')});
  line(i2, count(mesh.vertices.size()));
  for (size_t v = 0; v < mesh.vertices.size(); ++v) {
    line(i2, {real(mesh.vertices[v].u), sep(';'), real(mesh.vertices[v].v), sep(';'), last(v, mesh.vertices.size())});
  }
  line(i1, {punct('}')});

  line(i1, {name("MeshMaterialList"), punct('{')});
  line(i2, count(mesh.materials.size()));
  line(i2, count(mesh.faceMaterials.size()));
  for (size_t f = 0; f < mesh.faceMaterials.size(); ++f) {
    line(i2, {integer(mesh.faceMaterials[f]), last(f, mesh.faceMaterials.size())});
  }
  for (const Material& m : mesh.materials) {
    if (m.name.empty()) {
      line(i2, {name("Material"), punct('{')});
    } else {
      line(i2, {name("Material"), name(m.name), punct('{')});
    }
    line(i2 + 1, {real(m.diffuse.r), sep(';'), real(m.diffuse.g), sep(';'), real(m.diffuse.b), sep(';'),
                  real(m.diffuse.a), sep(';'), sep(';')});
    line(i2 + 1, {real(m.power), sep(';')});
    std::vector<Token> specular = vec3(m.specular);
    specular.push_back(sep(';'));
    line(i2 + 1, specular);
    std::vector<Token> emissive = vec3(m.emissive);
    emissive.push_back(sep(';'));
    line(i2 + 1, emissive);
    if (!m.texture.empty()) {
      line(i2 + 1, {name("TextureFilename"), punct('{')});
      line(i2 + 2, {{Token::kString, m.texture}, sep(';')});
      line(i2 + 1, {punct('}')});
    }
    line(i2, {punct('}')});
  }
  if (options.referenceLastMaterial && !mesh.materials.empty()) {
    line(i2, {punct('{'), name(mesh.materials.back().name), punct('}')});
  }
  line(i1, {punct('}')});
  line(i0, {punct('}')});
}

void XWriter::beginFrame(const std::string& frameName, const Mat4& transform) {
  line(0, {name("Frame"), name(frameName), punct('{')});
  ++m_depth;
  line(0, {name("FrameTransformMatrix"), punct('{')});
  std::vector<Token> s;
  for (int i = 0; i < 16; ++i) {
    s.push_back(real(transform.m[i]));
    s.push_back(sep(i < 15 ? ',' : ';'));
  }
  s.push_back(sep(';'));
  line(1, s);
  line(0, {punct('}')});
}

void XWriter::endFrame() {
  --m_depth;
  line(0, {punct('}')});
}

void XWriter::animationSet(const std::vector<WheelAnimation>& animations) {
  auto oneKey = [&](uint32_t type, Vec3 v) {
    line(2, {name("AnimationKey"), punct('{')});
    line(3, {integer(type), sep(';')});
    line(3, {integer(1), sep(';')});
    line(3, {integer(0), sep(';'), integer(3), sep(';'), real(v.x), sep(','), real(v.y), sep(','), real(v.z), sep(';'),
             sep(';'), sep(';')});
    line(2, {punct('}')});
  };
  line(0, {name("AnimationSet"), punct('{')});
  for (const WheelAnimation& a : animations) {
    line(1, {name("Animation"), punct('{')});
    line(2, {punct('{'), name(a.frameName), punct('}')});
    line(2, {name("AnimationKey"), punct('{')});
    line(3, {integer(0), sep(';')});
    line(3, {integer(static_cast<uint32_t>(a.rotationKeys.size())), sep(';')});
    for (size_t k = 0; k < a.rotationKeys.size(); ++k) {
      const auto& [time, q] = a.rotationKeys[k];
      line(3, {integer(time), sep(';'), integer(4), sep(';'), real(q[0]), sep(','), real(q[1]), sep(','), real(q[2]),
               sep(','), real(q[3]), sep(';'), sep(';'), sep(k + 1 < a.rotationKeys.size() ? ',' : ';')});
    }
    line(2, {punct('}')});
    oneKey(1, a.scale);
    oneKey(2, a.position);
    line(2, {name("AnimationOptions"), punct('{')});
    line(3, {integer(0), sep(';')});
    line(3, {integer(0), sep(';')});
    line(2, {punct('}')});
    line(1, {punct('}')});
  }
  line(0, {punct('}')});
}

}  // namespace assetgen
