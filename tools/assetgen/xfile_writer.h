// Writes meshes, frames and animation as X files, each carrying its own copies of the
// standard template declarations: as text ("txt "), as the binary token stream ("bin "), or
// either of them compressed ("tzip", "bzip": raw deflate blocks chained by preset
// dictionaries). Also writes the template-only block of the standard templates.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "byte_writer.h"
#include "mesh.h"

namespace assetgen {

enum class XFloatSize { k32, k64 };

enum class XFormat { kText, kBinary, kCompressedText, kCompressedBinary };

// The template sets the files carry: the mesh files' 21 declarations, the animated wheels'
// 24, or the standard templates as a library registers them (no data objects follow).
enum class XTemplateSet { kMesh, kAnimatedFrames, kStandard };

struct XMeshOptions {
  // Writes the last material as a reference by name after the inline materials (the
  // inline list still holds every material).
  bool referenceLastMaterial = false;
};

class XWriter {
 public:
  XWriter(XFloatSize floatSize, XTemplateSet templates, XFormat format = XFormat::kText);

  void mesh(const Mesh& mesh, const std::string& name, const XMeshOptions& options = {}, int indent = 0);
  void beginFrame(const std::string& name, const Mat4& transform);
  void endFrame();

  struct WheelAnimation {
    std::string frameName;
    std::vector<std::pair<uint32_t, std::array<double, 4>>> rotationKeys;  // time, (w, x, y, z) as stored
    Vec3 scale;
    Vec3 position;
  };
  void animationSet(const std::vector<WheelAnimation>& animations);

  std::vector<uint8_t> take();

  // One token of the file. Data separators (kSeparator) exist in the text form only; data
  // numbers (kInteger, kReal) form the binary integer and float lists.
  struct Token {
    enum Kind { kName, kKeyword, kPunct, kSeparator, kInteger, kDimension, kReal, kString, kGuid };
    Kind kind;
    std::string text;  // as the text form spells it
    uint32_t integer = 0;
  };

 private:
  void line(int indent, const std::vector<Token>& tokens);
  void declareTemplate(const char* name, const char* body);
  Token real(double v) const;
  std::vector<Token> vec3(Vec3 v) const;
  void flushList();

  XFloatSize m_floatSize;
  XFormat m_format;
  std::string m_text;         // the text body
  ByteWriter m_binary;        // the binary body
  std::vector<Token> m_list;  // numbers waiting to become one binary list
  int m_depth = 0;
};

}  // namespace assetgen
