// The text form: header checks, the tokenizer's edge cases, templates and packed data.
#include <gtest/gtest.h>

#include "xfile_test_support.h"

namespace xfile_test {
namespace {

const char kVectorTemplates[] =
    "template Vector { <3D82AB5E-62DA-11cf-AB39-0020AF71E433> FLOAT x; FLOAT y; FLOAT z; }\n"
    "template MeshFace { <3D82AB5F-62DA-11cf-AB39-0020AF71E433> DWORD nFaceVertexIndices;\n"
    "  array DWORD faceVertexIndices[nFaceVertexIndices]; }\n"
    "template Mesh { <3D82AB44-62DA-11cf-AB39-0020AF71E433> DWORD nVertices; array Vector vertices[nVertices];\n"
    "  DWORD nFaces; array MeshFace faces[nFaces]; [...] }\n";

class TextReader : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(D3DXFileCreate(file.receive()), S_OK); }
  HRESULT open(const std::string& text) { return openText(file.get(), text, e); }
  ComPtr<ID3DXFile> file;
  ComPtr<ID3DXFileEnumObject> e;
};

TEST_F(TextReader, HeaderFieldsAreChecked) {
  EXPECT_EQ(open("xof 0302txt 0064"), S_OK);
  EXPECT_EQ(open("xof 0303txt 0032\n"), S_OK);
  EXPECT_EQ(open("xof 0301txt 0032\n"), D3DXFERR_BADFILEVERSION);
  EXPECT_EQ(open("xof 0302txt 0016\n"), D3DXFERR_BADFILEFLOATSIZE);
  EXPECT_EQ(open("xof 0302abc 0032\n"), D3DXFERR_BADFILETYPE);
  EXPECT_EQ(open("xoff0302txt 0032\n"), D3DXFERR_BADFILETYPE);
  EXPECT_EQ(open("xof 0302txt"), D3DXFERR_BADFILETYPE);
  EXPECT_FALSE(e);
}

TEST_F(TextReader, PackedDataOfTheLoadersTemplates) {
  const std::string text =
      std::string("xof 0302txt 0064\n") + kVectorTemplates +
      "template Matrix4x4 { <F6F23F45-7686-11cf-8F52-0040333594A3> array FLOAT matrix[16]; }\n"
      "template FrameTransformMatrix { <F6F23F41-7686-11cf-8F52-0040333594A3> Matrix4x4 m; }\n"
      "template ColorRGBA { <35FF44E0-6C7C-11cf-8F52-0040333594A3> FLOAT r; FLOAT g; FLOAT b; FLOAT a; }\n"
      "template ColorRGB { <D3E16E81-7835-11cf-8F52-0040333594A3> FLOAT r; FLOAT g; FLOAT b; }\n"
      "template Material { <3D82AB4D-62DA-11cf-AB39-0020AF71E433> ColorRGBA faceColor; FLOAT power;\n"
      "  ColorRGB specularColor; ColorRGB emissiveColor; [...] }\n"
      "template TextureFilename { <A42790E1-7810-11cf-8F52-0040333594A3> STRING filename; }\n"
      "template FloatKeys { <10DD46A9-775B-11cf-8F52-0040333594A3> DWORD nValues; array FLOAT values[nValues]; }\n"
      "template TimedFloatKeys { <F406B180-7B3B-11cf-8F52-0040333594A3> DWORD time; FloatKeys tfkeys; }\n"
      "template AnimationKey { <10DD46A8-775B-11cf-8F52-0040333594A3> DWORD keyType; DWORD nKeys;\n"
      "  array TimedFloatKeys keys[nKeys]; }\n"
      "// a comment\n"
      "Mesh quad {\n 4;\n 0.0;0.0;0.0;, 1.5;0.0;0.0;, 1.5;-2;0.0;, 0.0;1;0.0;;  # tail comment\n"
      " 2;\n 3;0,1,2;,\n 3;0,2,3;;\n"
      " Material red { 1.0;0.0;0.0;1.0;; 20.0; 0.5;0.5;0.5;; 0.0;0.0;0.0;;\n"
      "   TextureFilename { \"wagon\\\\1.bmp\"; } }\n}\n"
      "FrameTransformMatrix { 1.0,0,0,0, 0,1.0,0,0, 0,0,1.0,0, 10.0,20.0,30.0,1.0;; }\n"
      "AnimationKey { 0; 2; 0;4;1.0,0.0,0.0,0.0;;, 15;4;0.5,0.5,0.5,0.5;;; }\n";
  ASSERT_EQ(open(text), S_OK);
  SIZE_T n = 0;
  e->GetChildren(&n);
  ASSERT_EQ(n, 3u);

  // Integers are accepted for FLOAT members.
  std::vector<uint8_t> mesh;
  append<uint32_t>(mesh, 4);
  for (float f : {0.0f, 0.0f, 0.0f, 1.5f, 0.0f, 0.0f, 1.5f, -2.0f, 0.0f, 0.0f, 1.0f, 0.0f}) append(mesh, f);
  for (uint32_t v : {2u, 3u, 0u, 1u, 2u, 3u, 0u, 2u, 3u}) append(mesh, v);
  auto quad = topLevel(e.get(), 0);
  EXPECT_EQ(packed(quad.get()), mesh);
  EXPECT_EQ(nameOf(quad.get()), "quad");

  auto material = child(quad.get(), 0);
  std::vector<uint8_t> m;
  for (float f : {1.0f, 0.0f, 0.0f, 1.0f, 20.0f, 0.5f, 0.5f, 0.5f, 0.0f, 0.0f, 0.0f}) append(m, f);
  EXPECT_EQ(packed(material.get()), m);
  const std::vector<uint8_t> textureName = {'w', 'a', 'g', 'o', 'n', '\\', '1', '.', 'b', 'm', 'p', 0};
  EXPECT_EQ(packed(child(material.get(), 0).get()), textureName);

  std::vector<uint8_t> matrix;
  for (float f : {1.f, 0.f, 0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 0.f, 1.f, 0.f, 10.f, 20.f, 30.f, 1.f}) append(matrix, f);
  EXPECT_EQ(packed(topLevel(e.get(), 1).get()), matrix);

  std::vector<uint8_t> key;
  for (uint32_t v : {0u, 2u, 0u, 4u}) append(key, v);
  for (float f : {1.0f, 0.0f, 0.0f, 0.0f}) append(key, f);
  for (uint32_t v : {15u, 4u}) append(key, v);
  for (float f : {0.5f, 0.5f, 0.5f, 0.5f}) append(key, f);
  EXPECT_EQ(packed(topLevel(e.get(), 2).get()), key);
}

TEST_F(TextReader, TokenizerEdgeCases) {
  const std::string head = "xof 0302txt 0032\n";
  // Keywords in any case; DWORD in small letters.
  EXPECT_EQ(open(head + "TeMpLaTe T { <00000000-0000-0000-0000-000000000001> dword a; Float b; }\n T { 7; -1.5; }"),
            S_OK);
  std::vector<uint8_t> bytes;
  append<uint32_t>(bytes, 7);
  append(bytes, -1.5f);
  EXPECT_EQ(packed(topLevel(e.get(), 0).get()), bytes);

  const std::string t = "template T { <00000000-0000-0000-0000-000000000001> FLOAT a; }\n";
  EXPECT_EQ(open(head + t + "T { -0.000000; }"), S_OK);
  EXPECT_EQ(open(head + t + "T { 1e5; }"), D3DXFERR_PARSEERROR);  // the integer 1, then the name e5
  EXPECT_EQ(open(head + "template T { <0000000-0000-0000-0000-000000000001> FLOAT a; }"), D3DXFERR_PARSEERROR);
  EXPECT_EQ(open(head + "template T { <000000000-0000-0000-0000-000000000001> FLOAT a; }"), D3DXFERR_PARSEERROR);
  EXPECT_EQ(open(head + "template T { <00000000-0000-0000-0000-00000000000g> FLOAT a; }"), D3DXFERR_PARSEERROR);
  EXPECT_EQ(open(head + "/ comment\n"), D3DXFERR_PARSEERROR);
  EXPECT_EQ(open(head + "template T { <00000000-0000-0000-0000-000000000001> FLOAT a; } @"), D3DXFERR_PARSEERROR);
  EXPECT_EQ(open(head + t + "T { 1.0 }"), D3DXFERR_PARSEERROR);        // a value without a separator
  EXPECT_EQ(open(head + t + "T { 1.0; 2.0; }"), D3DXFERR_PARSEERROR);  // more values than members
  EXPECT_EQ(open(head + t + "T { 99999999999; }"), D3DXFERR_PARSEERROR);

  const std::string s = "template S { <00000000-0000-0000-0000-000000000002> STRING a; }\n";
  ASSERT_EQ(open(head + s + "S { \"" + std::string(600, 'x') + "\"; }"), S_OK);
  EXPECT_EQ(packed(topLevel(e.get(), 0).get()).size(), 512u);
  ASSERT_EQ(open(head + s + "S { \"a\\tb\\\"c\\0101\\e\"; }"), S_OK);
  const std::vector<uint8_t> escaped = {'a', 9, 'b', '"', 'c', 'A', '1' - '1' + 27, 0};
  EXPECT_EQ(packed(topLevel(e.get(), 0).get()), escaped);
  EXPECT_EQ(open(head + s + "S { \"unterminated; }"), D3DXFERR_PARSEERROR);
}

TEST_F(TextReader, TemplatesTablesAndUnknownObjects) {
  const std::string head = "xof 0302txt 0032\n";
  // The file's own Boolean (a WORD) governs its objects, also inside another template, even
  // though a registered Boolean (a DWORD, another GUID) exists.
  const char registered[] =
      "xof 0303txt 0032\ntemplate Boolean { <537DA6A0-CA37-11D0-941C-0080C80CFA7B> DWORD truefalse; }\n";
  ASSERT_EQ(file->RegisterTemplates(registered, sizeof registered - 1), S_OK);
  const std::string own =
      "template Boolean { <4885AE61-78E8-11cf-8F52-0040333594A3> WORD truefalse; }\n"
      "template Boolean2d { <4885AE63-78E8-11cf-8F52-0040333594A3> Boolean u; Boolean v; }\n";
  ASSERT_EQ(open(head + own + "boolean2D { 1; 0;; }\nBoolean { 1; }"), S_OK);
  EXPECT_EQ(packed(topLevel(e.get(), 0).get()), (std::vector<uint8_t>{1, 0, 0, 0}));
  GUID type{};
  topLevel(e.get(), 1)->GetType(&type);
  EXPECT_EQ(type.Data1, 0x4885AE61u);
  // Without its own declaration the registered one applies.
  ASSERT_EQ(open(head + "Boolean { 1; }"), S_OK);
  EXPECT_EQ(packed(topLevel(e.get(), 0).get()).size(), 4u);

  // Same GUID declared twice: the first stays. An object of an unknown template is skipped
  // with everything inside it, and the rest is read.
  ASSERT_EQ(open(head + "template A { <00000000-0000-0000-0000-00000000000a> DWORD x; [...] }\n"
                        "template B { <00000000-0000-0000-0000-00000000000a> FLOAT y; FLOAT z; }\n"
                        "Unknown u { 1; 2; A inner { 3; } \"s\"; }\n"
                        "A first { 5; Unknown { } A second { 6; } }\n"),
            S_OK);
  SIZE_T n = 0;
  e->GetChildren(&n);
  ASSERT_EQ(n, 1u);
  auto first = topLevel(e.get(), 0);
  EXPECT_EQ(nameOf(first.get()), "first");
  first->GetChildren(&n);
  EXPECT_EQ(n, 1u);
  EXPECT_EQ(open(head + "template B { <00000000-0000-0000-0000-00000000000a> FLOAT y; }\nB { 1; }"), S_OK);
}

TEST_F(TextReader, ReferencesNamesAndLookups) {
  const std::string text =
      "xof 0302txt 0032\n"
      "template Frame { <3D82AB46-62DA-11cf-AB39-0020AF71E433> [...] }\n"
      "template Only { <00000000-0000-0000-0000-0000000000bb> [Frame] }\n"
      "Frame wheel9 { <11111111-2222-3333-4444-555555555555> }\n"
      "Only { { wheel9 } Frame { } }\n";
  ASSERT_EQ(open(text), S_OK);
  auto holder = topLevel(e.get(), 1);
  auto ref = child(holder.get(), 0);
  EXPECT_TRUE(ref->IsReference());
  EXPECT_EQ(nameOf(ref.get()), "wheel9");
  GUID id{};
  ref->GetId(&id);
  EXPECT_EQ(id.Data1, 0x11111111u);
  EXPECT_FALSE(child(holder.get(), 1)->IsReference());

  SIZE_T size = 99;
  EXPECT_EQ(child(holder.get(), 1)->GetName(nullptr, &size), S_OK);
  EXPECT_EQ(size, 0u);
  char small[4];
  size = sizeof small;
  EXPECT_EQ(ref->GetName(small, &size), D3DXFERR_BADVALUE);
  ComPtr<ID3DXFileData> none;
  EXPECT_EQ(holder->GetChild(2, none.receive()), D3DERR_INVALIDCALL);
  EXPECT_FALSE(none);

  ComPtr<ID3DXFileData> found;
  EXPECT_EQ(e->GetDataObjectByName("wheel9", found.receive()), S_OK);
  EXPECT_EQ(e->GetDataObjectByName("WHEEL9", found.receive()), D3DXFERR_NOTFOUND);
  EXPECT_EQ(e->GetDataObjectById(id, found.receive()), S_OK);
  EXPECT_EQ(nameOf(found.get()), "wheel9");

  // A data object keeps its file alive after everything else is released.
  e.reset();
  file.reset();
  EXPECT_EQ(nameOf(found.get()), "wheel9");
  ComPtr<ID3DXFileEnumObject> back;
  EXPECT_EQ(found->GetEnum(back.receive()), S_OK);
  SIZE_T n = 0;
  back->GetChildren(&n);
  EXPECT_EQ(n, 2u);
}

TEST_F(TextReader, BadInputFailsCleanly) {
  const std::string head = "xof 0302txt 0032\n";
  const std::string frame = "template Frame { <3D82AB46-62DA-11cf-AB39-0020AF71E433> [...] }\n";
  // Array dimensions must name an earlier scalar member.
  EXPECT_EQ(open(head + "template T { <00000000-0000-0000-0000-000000000001> array DWORD a[n]; DWORD n; }"),
            D3DXFERR_PARSEERROR);
  EXPECT_EQ(open(head + "template T { <00000000-0000-0000-0000-000000000001> DWORD n; array DWORD a[m]; }"),
            D3DXFERR_PARSEERROR);
  // A count larger than the values that follow.
  EXPECT_EQ(open(head + "template T { <00000000-0000-0000-0000-000000000001> DWORD n; array DWORD a[n]; }\n"
                        "T { 4000000000; 1, 2; }"),
            D3DXFERR_PARSEERROR);
  // Children outside a template's restriction, dangling references.
  EXPECT_EQ(open(head + frame + "template C { <00000000-0000-0000-0000-000000000001> DWORD n; }\nC { 1; Frame { } }"),
            D3DXFERR_PARSEERROR);
  EXPECT_EQ(open(head + frame + "Frame { { nowhere } }"), D3DXFERR_BADDATAREFERENCE);
  // Deep nesting of objects, and templates that contain themselves.
  std::string deep = head + frame;
  for (int i = 0; i < 100000; ++i) deep += "Frame {";
  EXPECT_EQ(open(deep), D3DXFERR_PARSEERROR);
  EXPECT_EQ(open(head + "template L { <00000000-0000-0000-0000-000000000001> L inner; }\nL { 1; }"),
            D3DXFERR_PARSEERROR);
  // A structure of no values repeated four billion times packs to nothing, quickly.
  ASSERT_EQ(open(head + "template E { <00000000-0000-0000-0000-000000000001> }\n"
                        "template R { <00000000-0000-0000-0000-000000000002> array E e[4000000000]; DWORD x; }\n"
                        "R { 3; }"),
            S_OK);
  EXPECT_EQ(packed(topLevel(e.get(), 0).get()), (std::vector<uint8_t>{3, 0, 0, 0}));
  // Unfinished objects.
  EXPECT_EQ(open(head + frame + "Frame {"), D3DXFERR_PARSEERROR);
  EXPECT_EQ(open(head + frame + "Unknown { "), D3DXFERR_PARSEERROR);
}

TEST(XFile, InvalidArguments) {
  EXPECT_EQ(D3DXFileCreate(nullptr), D3DERR_INVALIDCALL);
  ComPtr<ID3DXFile> file;
  ASSERT_EQ(D3DXFileCreate(file.receive()), S_OK);
  ComPtr<ID3DXFileEnumObject> e;
  EXPECT_EQ(file->CreateEnumObject(nullptr, D3DXF_FILELOAD_FROMMEMORY, e.receive()), D3DERR_INVALIDCALL);
  EXPECT_EQ(file->CreateEnumObject("x", D3DXF_FILELOAD_FROMMEMORY, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(file->CreateEnumObject("/nonexistent/file.x", D3DXF_FILELOAD_FROMFILE, e.receive()), D3DXFERR_FILENOTFOUND);
  D3DXF_FILELOADRESOURCE missing{nullptr, "NO_SUCH.X", "X"};
  EXPECT_EQ(file->CreateEnumObject(&missing, D3DXF_FILELOAD_FROMRESOURCE, e.receive()), D3DXFERR_RESOURCENOTFOUND);
  EXPECT_EQ(file->RegisterTemplates(nullptr, 10), D3DERR_INVALIDCALL);
  EXPECT_EQ(file->RegisterEnumTemplates(nullptr), D3DERR_INVALIDCALL);
  ID3DXFileSaveObject* save = reinterpret_cast<ID3DXFileSaveObject*>(1);
  EXPECT_EQ(file->CreateSaveObject("out.x", D3DXF_FILESAVE_TOFILE, D3DXF_FILEFORMAT_TEXT, &save), E_NOTIMPL);
  EXPECT_EQ(save, nullptr);
}

}  // namespace
}  // namespace xfile_test
