// Script parsing, icon splitting and omission, fed from memory as preprocessor output; and
// the preprocessor run on files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "icon_file.h"
#include "resource_script.h"
#include "table_writer.h"

using rescomp::ParseOptions;
using rescomp::Resource;
using rescomp::ResourceKey;
using rescomp::ScriptContents;
using rescomp::ScriptError;

namespace {

class MemoryFiles : public rescomp::SourceFiles {
 public:
  std::map<std::string, std::string> files;

  bool exists(const std::string& path) override { return files.count(path) != 0; }
  std::optional<std::string> read(const std::string& path, uint64_t maxBytes) override {
    const auto it = files.find(path);
    if (it == files.end() || it->second.size() > maxBytes) return std::nullopt;
    return it->second;
  }
  std::optional<uint64_t> fileSize(const std::string& path) override {
    const auto it = files.find(path);
    if (it == files.end()) return std::nullopt;
    return it->second.size();
  }
};

constexpr char kScript[] = "/src/main.rc";

ResourceKey named(const std::string& s) { return ResourceKey{s, 0}; }
ResourceKey numbered(uint16_t id) { return ResourceKey{"", id}; }

std::string le16(uint16_t v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
std::string le32(uint32_t v) { return le16(static_cast<uint16_t>(v)) + le16(static_cast<uint16_t>(v >> 16)); }

struct IconImageSpec {
  uint8_t width;
  uint16_t dirPlanes, dirBits;  // as the directory states them
  std::string data;
};

std::string bitmapImage(uint16_t planes, uint16_t bits, size_t extra) {
  std::string s = le32(40) + le32(16) + le32(32) + le16(planes) + le16(bits) + std::string(24, '\0');
  for (size_t i = 0; i < extra; ++i) s += static_cast<char>(i * 13);
  return s;
}

std::string iconFile(const std::vector<IconImageSpec>& images, uint16_t type = 1) {
  std::string dir = le16(0) + le16(type) + le16(static_cast<uint16_t>(images.size()));
  std::string data;
  uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
  for (const auto& image : images) {
    dir += std::string{static_cast<char>(image.width), static_cast<char>(image.width), 0, 0};
    dir += le16(image.dirPlanes) + le16(image.dirBits) + le32(static_cast<uint32_t>(image.data.size())) +
           le32(offset + static_cast<uint32_t>(data.size()));
    data += image.data;
  }
  return dir + data;
}

class ScriptParse : public ::testing::Test {
 protected:
  void SetUp() override {
    files.files["/src/a.bin"] = "abc";
    files.files["/src/sub/b.dat"] = "hello";
    files.files["/inc/c.bin"] = "x";
  }

  // `text` as the preprocessor would give it for /src/main.rc, after its opening marker.
  ScriptContents parse(const std::string& text, ParseOptions options = {}) {
    options.includeDirs.push_back("/inc");
    return rescomp::parseScript("# 1 \"/src/main.rc\"\n" + text, files, options);
  }

  // The message of the failure, or "no error".
  std::string parseError(const std::string& text, ParseOptions options = {}) {
    try {
      parse(text, std::move(options));
    } catch (const ScriptError& e) {
      return e.what();
    }
    return "no error";
  }

  std::vector<std::string> names(const ScriptContents& contents) {
    std::vector<std::string> out;
    for (const Resource& r : contents.resources) out.push_back(rescomp::describeKey(r.name));
    return out;
  }

  MemoryFiles files;
};

TEST_F(ScriptParse, StatementsTypesNamesPlacesAndLanguage) {
  const auto contents = rescomp::parseScript(
      "# 0 \"/src/main.rc\"\n"
      "# 0 \"<built-in>\"\n"
      "#define __STDC__ 1\n"
      "# 1 \"/src/main.rc\"\n"
      "# 1 \"/src/./ids.h\" 1\n"
      "#define IDR_ONE 101\n"
      "int notResourceScript(void) { return '\"'; }\n"
      "# 4 \"/src/main.rc\" 2\n"
      "LANGUAGE 0x07, 0x01\n"
      "101 BINARY \"a.bin\"\n"
      "102 binary PRELOAD DISCARDABLE \"sub\\\\b.dat\"\n"
      "train_cabs.x X \"sub/b.dat\"\n"
      "\"final_layer.tga\" RCDATA\n"
      "   \"a.bin\"\n"
      "# 20 \"/src/main.rc\"\n"
      "0x300 \"My Type\" \"c.bin\"\n"
      "# 1 \"/src/sub/more\\\\\\042.rc\" 1\n"
      "042 24 \"b.dat\"\n"
      "# 21 \"/src/main.rc\" 2\n"
      "VERSION 3 CHARACTERISTICS 0x10\n",
      files, ParseOptions{{"/inc"}, {}});
  const auto& r = contents.resources;
  ASSERT_EQ(r.size(), 6u);

  EXPECT_EQ(r[0].type, named("BINARY"));
  EXPECT_EQ(r[0].name, numbered(101));
  EXPECT_EQ(r[0].language, 0x0407);
  EXPECT_EQ(r[0].file, "/src/a.bin");
  EXPECT_EQ(r[0].size, 3u);
  EXPECT_EQ(r[0].where.file, "/src/main.rc");
  EXPECT_EQ(r[0].where.line, 5);

  EXPECT_EQ(r[1].name, numbered(102));
  EXPECT_EQ(r[1].type, named("BINARY")) << "string types are stored in upper case";
  EXPECT_EQ(r[1].file, "/src/sub/b.dat") << "backslashes separate folders";
  EXPECT_EQ(r[1].size, 5u);

  EXPECT_EQ(r[2].type, named("X"));
  EXPECT_EQ(r[2].name, named("TRAIN_CABS.X"));
  EXPECT_EQ(r[3].type, numbered(rescomp::kTypeRcData));
  EXPECT_EQ(r[3].name, named("FINAL_LAYER.TGA"));
  EXPECT_EQ(r[3].where.line, 8);
  EXPECT_EQ(r[4].type, named("MY TYPE"));
  EXPECT_EQ(r[4].name, numbered(0x300));
  EXPECT_EQ(r[4].file, "/inc/c.bin") << "found through the include folders";
  EXPECT_EQ(r[4].where.line, 20) << "a marker without a flag moves the line";
  EXPECT_EQ(r[5].type, numbered(24));
  EXPECT_EQ(r[5].name, numbered(042));
  EXPECT_EQ(r[5].file, "/src/sub/b.dat") << "found beside the script that names it";
  EXPECT_EQ(r[5].where.file, "/src/sub/more\\\".rc") << "marker names are C strings";

  const std::vector<std::string> deps(contents.dependencies.begin(), contents.dependencies.end());
  for (const char* path :
       {"/src/main.rc", "/src/ids.h", "/src/sub/more\\\".rc", "/src/a.bin", "/src/sub/b.dat", "/inc/c.bin"})
    EXPECT_NE(std::find(deps.begin(), deps.end(), path), deps.end()) << path;
  EXPECT_EQ(std::find(deps.begin(), deps.end(), "<built-in>"), deps.end());
}

TEST_F(ScriptParse, DefaultLanguageIsEnglishUnitedStates) {
  EXPECT_EQ(parse("A RCDATA \"a.bin\"\n").resources.at(0).language, 1033);
}

TEST_F(ScriptParse, IconBecomesGroupDirectoryAndNumberedImages) {
  const std::string png = std::string("\x89PNG\r\n\x1a\n", 8) + std::string(20, 'p');
  files.files["/src/app.ico"] =
      iconFile({{16, 0, 0, bitmapImage(1, 8, 10)}, {32, 0, 0, bitmapImage(1, 32, 30)}, {48, 1, 24, png}});
  files.files["/src/small.ico"] = iconFile({{16, 0, 0, bitmapImage(1, 4, 3)}});
  const auto contents = parse("126 ICON \"app.ico\"\nSMALL ICON \"small.ico\"\n");
  const auto& r = contents.resources;
  ASSERT_EQ(r.size(), 6u);

  EXPECT_EQ(r[0].type, numbered(rescomp::kTypeGroupIcon));
  EXPECT_EQ(r[0].name, numbered(126));
  ASSERT_EQ(r[0].bytes.size(), 6u + 14u * 3u);
  ASSERT_EQ(r[0].size, r[0].bytes.size());
  const std::string group(r[0].bytes.begin(), r[0].bytes.end());
  EXPECT_EQ(group.substr(0, 6), le16(0) + le16(1) + le16(3));
  const std::string& ico = files.files["/src/app.ico"];
  const uint16_t expectedBits[] = {8, 32, 24};  // from the bitmap headers; the PNG keeps the directory's
  for (uint16_t i = 0; i < 3; ++i) {
    const std::string entry = group.substr(6 + 14 * i, 14);
    SCOPED_TRACE(i);
    EXPECT_EQ(static_cast<uint8_t>(entry[0]), static_cast<uint8_t>(ico[6 + 16 * i])) << "width";
    EXPECT_EQ(entry.substr(4, 2), le16(1)) << "planes";
    EXPECT_EQ(entry.substr(6, 2), le16(expectedBits[i])) << "bit count";
    EXPECT_EQ(entry.substr(8, 4), le32(r[1 + i].size)) << "bytes in resource";
    EXPECT_EQ(entry.substr(12, 2), le16(static_cast<uint16_t>(i + 1))) << "identifier";

    EXPECT_EQ(r[1 + i].type, numbered(rescomp::kTypeIcon));
    EXPECT_EQ(r[1 + i].name, numbered(static_cast<uint16_t>(i + 1)));
    EXPECT_EQ(r[1 + i].file, "/src/app.ico");
    EXPECT_EQ(ico.substr(r[1 + i].offset, r[1 + i].size).substr(0, 4), i == 2 ? png.substr(0, 4) : le32(40));
  }
  EXPECT_EQ(r[2].offset, r[1].offset + r[1].size);

  // Icon images are numbered across the script.
  EXPECT_EQ(r[4].type, numbered(rescomp::kTypeGroupIcon));
  EXPECT_EQ(r[4].name, named("SMALL"));
  EXPECT_EQ(r[5].name, numbered(4));
  EXPECT_EQ(std::string(r[4].bytes.begin() + 18, r[4].bytes.begin() + 20), le16(4));
}

TEST(IconFile, RejectsMalformedFiles) {
  std::string why;
  const std::string good = iconFile({{16, 0, 0, bitmapImage(1, 8, 4)}});
  ASSERT_TRUE(rescomp::splitIconFile(good, 1, why));

  EXPECT_FALSE(rescomp::splitIconFile(good.substr(0, 5), 1, why));
  EXPECT_EQ(why, "too short for an icon file");
  EXPECT_FALSE(rescomp::splitIconFile(iconFile({{16, 0, 0, "x"}}, 2), 1, why));
  EXPECT_EQ(why, "a cursor file, not an icon file");
  EXPECT_FALSE(rescomp::splitIconFile(iconFile({}), 1, why));
  EXPECT_EQ(why, "icon file holds no images");
  EXPECT_FALSE(rescomp::splitIconFile(good.substr(0, 20), 1, why)) << "directory cut short";
  EXPECT_EQ(why, "icon directory runs past the end of the file");
  EXPECT_FALSE(rescomp::splitIconFile(good.substr(0, good.size() - 1), 1, why)) << "image cut short";
  EXPECT_EQ(why, "image 1 lies outside the icon file");
  std::string hugeOffset = good;
  hugeOffset.replace(6 + 12, 4, le32(0xFFFFFFF0u));
  EXPECT_FALSE(rescomp::splitIconFile(hugeOffset, 1, why));
  EXPECT_FALSE(rescomp::splitIconFile(good, 0xFFFF, why) == std::nullopt) << "the last identifier fits";
  EXPECT_FALSE(rescomp::splitIconFile(iconFile({{16, 0, 0, "a"}, {16, 0, 0, "b"}}), 0xFFFF, why));
}

TEST_F(ScriptParse, OmitByIdentifierMacroAndName) {
  files.files["/src/app.ico"] = iconFile({{16, 0, 0, bitmapImage(1, 8, 4)}, {32, 0, 0, bitmapImage(1, 8, 4)}});
  const std::string script =
      "# 1 \"/src/ids.h\" 1\n"
      "#define IDR_ONE 101\n"
      "#define IDI_APP 126U\n"
      "#define IDR_GONE 300\n"
      "#undef IDR_GONE\n"
      "#define IDR_SUM (IDR_ONE + 1)\n"
      "#define IDR_FN(x) x\n"
      "# 2 \"/src/main.rc\" 2\n"
      "101 BINARY \"a.bin\"\n"
      "Named RCDATA \"a.bin\"\n"
      "300 RCDATA \"a.bin\"\n"
      "126 ICON \"app.ico\"\n";
  ASSERT_EQ(parse(script).resources.size(), 6u);

  ParseOptions omitAll;
  omitAll.omit = {"IDR_ONE", "named", "IDI_APP"};
  const auto left = parse(script, omitAll);
  EXPECT_EQ(names(left), (std::vector<std::string>{"300"})) << "an omitted icon group takes its images along";

  ParseOptions omitImage;
  omitImage.omit = {"0x2"};
  EXPECT_EQ(parse(script, omitImage).resources.size(), 5u);

  ParseOptions typo;
  for (const char* name : {"IDR_TWO", "IDR_GONE", "IDR_SUM", "IDR_FN"}) {
    typo.omit = {name};
    EXPECT_EQ(parseError(script, typo), std::string("error: --omit ") + name + " matches no resource of the script");
  }
  typo.omit = {"0"};
  EXPECT_EQ(parseError(script, typo), "error: --omit 0: not an identifier from 1 to 65535");
}

TEST_F(ScriptParse, ErrorsNameFileAndLine) {
  files.files["/src/cursor.cur"] = iconFile({{16, 0, 0, bitmapImage(1, 8, 4)}}, 2);
  const struct {
    std::string script;
    std::string message;
  } cases[] = {
      {"A RCDATA \"nofile.bin\"\n", "/src/main.rc:1: error: cannot find file 'nofile.bin'"},
      {"\nA RCDATA \"a.bin\n", "/src/main.rc:2: error: unterminated string"},
      {"A RCDATA \"a.bin\"\n# 7 \"/src/other.rc\"\na rcdata \"a.bin\"\n",
       "/src/other.rc:7: error: duplicate resource: type 10, name \"A\" (first defined at /src/main.rc:1)"},
      {"# 12 /src/x.rc\n", "/src/main.rc:1: error: malformed line marker"},
      {"# 12 \"/src/x.rc\n", "/src/main.rc:1: error: malformed line marker"},
      {"D DIALOG \"a.bin\"\n",
       "/src/main.rc:1: error: resource type DIALOG is not supported by this resource compiler"},
      {"STRINGTABLE\nBEGIN\nEND\n", "/src/main.rc:1: error: STRINGTABLE is not supported by this resource compiler"},
      {"A RCDATA\nBEGIN 1, 2 END\n",
       "/src/main.rc:2: error: inline resource data is not supported; put the bytes in a file and name it"},
      {"0 RCDATA \"a.bin\"\n", "/src/main.rc:1: error: resource identifier 0 is out of range (1 to 65535)"},
      {"\n\n65536 RCDATA \"a.bin\"\n", "/src/main.rc:3: error: resource identifier 65536 is out of range (1 to 65535)"},
      {"(101 + 1) RCDATA \"a.bin\"\n", "/src/main.rc:1: error: expected a resource name or identifier, found '('"},
      {"A 0x10000 \"a.bin\"\n", "/src/main.rc:1: error: resource type 65536 is out of range (1 to 65535)"},
      {"99999999999999999999 RCDATA \"a.bin\"\n", "/src/main.rc:1: error: invalid number '99999999999999999999'"},
      {"LANGUAGE LANG_X, 1\n", "/src/main.rc:1: error: 'LANG_X' is not a number"},
      {"LANGUAGE 9 1\n", "/src/main.rc:1: error: LANGUAGE needs two numbers: LANGUAGE primary, sublanguage"},
      {"LANGUAGE 0x400, 1\n",
       "/src/main.rc:1: error: LANGUAGE values out of range (primary 0 to 1023, sublanguage 0 to 63)"},
      {"LANGUAGE 9,\n", "/src/main.rc:1: error: unexpected end of script: expected a number after LANGUAGE"},
      {"I ICON \"a.bin\"\n", "/src/main.rc:1: error: '/src/a.bin' is too short for an icon file"},
      {"I ICON \"cursor.cur\"\n", "/src/main.rc:1: error: '/src/cursor.cur' is a cursor file, not an icon file"},
      {"A \"\" \"a.bin\"\n", "/src/main.rc:1: error: expected a resource type after 'A'"},
      {"\"\" RCDATA \"a.bin\"\n", "/src/main.rc:1: error: empty resource name"},
      {"A RCDATA a.bin\n", "/src/main.rc:1: error: expected a file name in quotes after the type of 'A'"},
      {"A RCDATA \"a.bin\" extra\n",
       "/src/main.rc:1: error: unexpected end of script: expected a resource type after 'extra'"},
  };
  for (const auto& c : cases) EXPECT_EQ(parseError(c.script), c.message) << c.script;
}

// The toolchain's preprocessor on real files: headers, conditions, and its failures.
class Preprocess : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::path(::testing::TempDir()) / "rescomp_preprocess";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "inc");
    write("inc/ids.h", "#pragma once\n#define IDR_ONE 101\n#define IDR_TWO (IDR_ONE + 1)\nstruct Ids { int x; };\n");
    write("a.bin", "abc");
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  void write(const std::string& name, const std::string& text) { std::ofstream(dir / name) << text; }
  std::string path(const std::string& name) const { return (dir / name).string(); }

  std::filesystem::path dir;
  rescomp::DiskFiles files;
};

TEST_F(Preprocess, HeadersConditionsAndDependencies) {
  write("main.rc",
        "#include \"ids.h\"\n"
        "#include <ids.h>\n"
        "#if defined(RC_INVOKED) && IDR_TWO == 102\n"
        "IDR_ONE RCDATA \"a.bin\"\n"
        "#else\n"
        "WRONG RCDATA \"a.bin\"\n"
        "#endif\n"
        "linux RCDATA \"a.bin\"  /* no system macros */\n");
  ParseOptions options;
  options.includeDirs = {path("inc")};
  options.omit = {"IDR_TWO"};
  EXPECT_THROW(rescomp::parseScript(rescomp::preprocessScript(KQ_C_COMPILER, path("main.rc"), options.includeDirs),
                                    files, options),
               ScriptError)
      << "a macro whose value is an expression names no resource";
  options.omit.clear();
  const auto contents = rescomp::parseScript(
      rescomp::preprocessScript(KQ_C_COMPILER, path("main.rc"), options.includeDirs), files, options);
  ASSERT_EQ(contents.resources.size(), 2u);
  EXPECT_EQ(contents.resources[0].name, numbered(101));
  EXPECT_EQ(contents.resources[0].where.line, 4);
  EXPECT_EQ(contents.resources[1].name, named("LINUX"));
  EXPECT_EQ(contents.resources[1].where.line, 8);
  const auto& deps = contents.dependencies;
  for (const std::string& input : {path("main.rc"), path("inc/ids.h"), path("a.bin")})
    EXPECT_NE(std::find(deps.begin(), deps.end(), input), deps.end()) << input;
}

TEST_F(Preprocess, FailuresAreErrors) {
  write("stop.rc", "#error stop here\n");
  EXPECT_THROW(rescomp::preprocessScript(KQ_C_COMPILER, path("stop.rc"), {}), ScriptError);
  write("missing.rc", "#include \"missing.h\"\n");
  EXPECT_THROW(rescomp::preprocessScript(KQ_C_COMPILER, path("missing.rc"), {}), ScriptError);
  try {
    rescomp::preprocessScript(path("no-such-compiler"), path("stop.rc"), {});
    ADD_FAILURE() << "ran a compiler that does not exist";
  } catch (const ScriptError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("error: cannot run the preprocessor '" + path("no-such-compiler") + "'", 0),
              0u)
        << e.what();
  }
}

TEST(TableWriter, EscapesNamesPathsAndDepfileEntries) {
  Resource r;
  r.type = named("T\"Y\\PE");
  r.name = named("N\xC3\x89?");
  r.file = "/data/with \"quote\".bin";
  r.size = 4;
  r.where = {"/src/x.rc", 3};
  const std::string table = rescomp::tableSource({r}, "p", "/src/x.rc");
  EXPECT_NE(table.find("{{\"T\\\"Y\\\\PE\", 0}, {\"N\\303\\211\\?\", 0}, kqres_p_0, 4u}"), std::string::npos) << table;
  const std::string assembly = rescomp::assemblySource({r}, "p", "/src/x.rc");
  EXPECT_NE(assembly.find(".incbin \"/data/with \\\"quote\\\".bin\", 0, 4"), std::string::npos) << assembly;
  EXPECT_NE(assembly.find(".balign 16"), std::string::npos);

  r.file = "/data/line\nbreak.bin";
  EXPECT_THROW(rescomp::assemblySource({r}, "p", "/src/x.rc"), ScriptError);

  EXPECT_EQ(rescomp::depfileText({"/o/a.s", "/o/b.cpp"}, {"/s/my file.rc", "/s/x$.bin", "/s/my file.rc"}),
            "/o/a.s /o/b.cpp: \\\n  /s/my\\ file.rc \\\n  /s/x$$.bin\n");
}

}  // namespace
