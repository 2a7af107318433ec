#include "generate.h"

#include <map>

#include "art.h"
#include "file_io.h"
#include "flat_meshes.h"
#include "image_formats.h"
#include "outline.h"
#include "preview.h"
#include "region.h"
#include "text.h"
#include "train.h"
#include "xfile_writer.h"

namespace assetgen {
namespace {

std::vector<uint8_t> meshFile(const Mesh& mesh, const std::string& name, bool referenceLast, XFormat format) {
  XWriter w(XFloatSize::k64, XTemplateSet::kMesh, format);
  XMeshOptions options;
  options.referenceLastMaterial = referenceLast;
  w.mesh(mesh, name, options);
  return w.take();
}

// Everything painted or built, kept together so the files and the previews use the same things.
struct SceneAssets {
  Camera camera;
  Canvas overlay{1, 1};
  Canvas background{1, 1};
  Canvas credits{1, 1};
  Mesh planes;
  Mesh credz;
  std::vector<Mesh> buttons;
  Train train;
  std::array<Canvas, 5> wagons{Canvas{1, 1}, Canvas{1, 1}, Canvas{1, 1}, Canvas{1, 1}, Canvas{1, 1}};
  Canvas loco{1, 1};
  Canvas wheel{1, 1};
  std::array<Canvas, 5> smoke{Canvas{1, 1}, Canvas{1, 1}, Canvas{1, 1}, Canvas{1, 1}, Canvas{1, 1}};
  std::vector<Canvas> icons;
};

// The icon's ten images: size and bits, in the order of the icon directory.
constexpr std::pair<int, int> kIconImages[] = {{128, 32}, {32, 32}, {16, 8}, {16, 24}, {16, 32},
                                               {32, 8},   {32, 24}, {48, 8}, {48, 24}, {48, 32}};

bool buildAssets(SceneAssets& a, std::string* error) {
  TextRenderer text;
  if (!text.ok()) {
    if (error) *error = text.error();
    return false;
  }
  a.overlay = paintOverlay();
  a.background = paintBackground();
  a.credits = paintCredits(text);
  if (!text.ok()) {
    if (error) *error = text.error();
    return false;
  }
  a.planes = planesMesh(a.camera);
  a.credz = creditsMesh(a.camera);
  for (size_t i = 0; i < kButtons.size(); ++i) a.buttons.push_back(buttonMesh(a.camera, i));
  a.train = buildTrain();
  for (int w = 1; w <= 5; ++w) a.wagons[w - 1] = paintWagon(w);
  a.loco = paintLoco();
  a.wheel = paintWheel();
  for (int i = 0; i < 5; ++i) a.smoke[i] = paintSmoke(i);
  for (int size : {128, 48, 32, 16}) a.icons.push_back(paintIcon(size));
  return true;
}

}  // namespace

void generateMeshes(XFormat format, std::vector<GeneratedFile>& files) {
  const Camera camera;
  files.push_back({"PLANES.X", meshFile(planesMesh(camera), "Planes", false, format)});
  for (size_t i = 0; i < kButtons.size(); ++i) {
    files.push_back({kButtons[i].resourceName, meshFile(buttonMesh(camera, i), kButtons[i].meshName, true, format)});
  }
  files.push_back({"CREDZ.X", meshFile(creditsMesh(camera), "Credits", true, format)});
  const Train train = buildTrain();
  files.push_back({"TRAIN_CABS.X", cabsFile(train, format)});
  files.push_back({"TRAIN_WHEELS.X", wheelsFile(train, format)});
}

std::vector<uint8_t> standardTemplates() {
  XWriter w(XFloatSize::k64, XTemplateSet::kStandard, XFormat::kBinary);
  return w.take();
}

bool generateResources(std::vector<GeneratedFile>& files, std::string* error) {
  SceneAssets a;
  if (!buildAssets(a, error)) return false;
  generateMeshes(XFormat::kText, files);
  files.push_back({"region.bin", encodeRegionData(outlineRegion())});
  files.push_back({"FINAL_LAYER.TGA", encodeTga32(a.overlay)});
  std::vector<uint8_t> jpeg;
  if (!encodeJpeg(a.background, 92, jpeg, error)) return false;
  files.push_back({"FINAL_BACK.JPG", jpeg});
  if (!encodeJpeg(a.credits, 92, jpeg, error)) return false;
  files.push_back({"CREDZ.JPG", jpeg});
  files.push_back({"COAL_LOCO.BMP", encodeBmp24(a.loco)});
  // WAGON_k.BMP belongs to the k-th wagon counted from the end of the train.
  for (int k = 1; k <= 5; ++k) {
    files.push_back({"WAGON_" + std::to_string(k) + ".BMP", encodeBmp24(a.wagons[5 - k])});
  }
  files.push_back({"WHEEL.BMP", encodeBmp24(a.wheel)});
  for (int i = 0; i < 5; ++i) {
    files.push_back({"SMOKE_" + std::to_string(i + 1) + ".TGA", encodeTga32(a.smoke[i])});
  }
  std::vector<IconImage> images;
  for (auto [size, bits] : kIconImages) {
    const Canvas* pic = nullptr;
    for (const Canvas& c : a.icons) {
      if (c.width() == size) pic = &c;
    }
    images.push_back({pic, bits});
  }
  files.push_back({"kqdisk.ico", encodeIco(images)});
  return true;
}

bool generateAll(const std::filesystem::path& outDir, std::string* error) {
  std::vector<GeneratedFile> files;
  if (!generateResources(files, error)) return false;
  std::error_code ec;
  std::filesystem::create_directories(outDir, ec);
  if (ec) {
    if (error) *error = outDir.string() + ": " + ec.message();
    return false;
  }
  for (const GeneratedFile& f : files) {
    if (!writeFile(outDir / f.name, f.bytes, error)) return false;
  }
  return true;
}

bool writePreviews(const std::filesystem::path& dir, std::string* error) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) {
    if (error) *error = dir.string() + ": " + ec.message();
    return false;
  }
  SceneAssets a;
  if (!buildAssets(a, error)) return false;
  std::map<std::string, const Canvas*> textures = {{"final_layer.tga", &a.overlay},
                                                   {"final_back.jpg", &a.background},
                                                   {"credz.jpg", &a.credits},
                                                   {"COAL_LOCO.BMP", &a.loco},
                                                   {"WHEEL.BMP", &a.wheel}};
  // The wagons as the program shows them: the caption painted on in 50-pixel bold serif.
  std::array<Canvas, 5> captioned = a.wagons;
  {
    TextRenderer text;
    const char* pieces[5] = {" playing ", " track 1 ", "   Jingle", "Bells    ", "by Santa "};
    for (int w = 0; w < 5; ++w) {
      text.draw(captioned[w], FontFace::kSerifBold, 50, w == 0 ? 20 : 12, 70 + 44, pieces[w], rgb(255, 204, 0));
    }
  }
  for (int k = 1; k <= 5; ++k) textures["WAGON_" + std::to_string(k) + ".BMP"] = &captioned[5 - k];
  const std::vector<uint8_t> coverage = outlineCoverageMap();
  auto save = [&](const PreviewRenderer& r, const std::string& name) {
    std::vector<uint8_t> rgba = r.frame().rgba8();
    for (size_t i = 0; i < coverage.size(); ++i) {
      if (!coverageInside(coverage[i])) {
        rgba[i * 4 + 0] = 40;
        rgba[i * 4 + 1] = 40;
        rgba[i * 4 + 2] = 48;
      }
    }
    return writePng(dir / name, 512, 512, rgba, error);
  };
  struct View {
    const char* name;
    double trainAngle;
    double credits;
    bool lit;
    double tick;
    double zoom = 1.0;
    Vec2 centre{256, 256};
  };
  const View views[] = {{"scene_a.png", 5.55, 0, false, 0},
                        {"scene_b.png", 6.05, 0, false, 7.5},
                        {"scene_c.png", 0.4, 0, false, 15},
                        {"scene_d.png", 2.4, 0, false, 22.5},
                        {"scene_credits.png", 3.4, 1.0, true, 0},
                        {"closeup_loco.png", 5.55, 0, false, 0, 4.0, {275, 300}},
                        {"closeup_wagons.png", 6.6, 0, false, 10, 2.5, {300, 290}}};
  for (const View& v : views) {
    PreviewRenderer r(textures, v.zoom, v.centre);
    r.draw(a.planes, Mat4::identity(), {});
    DrawState credits;
    credits.alphaTest = false;
    credits.alphaFactor = v.credits;
    r.draw(a.credz, Mat4::identity(), credits);
    const Mat4 world = rotationY(v.trainAngle);
    DrawState lit;
    lit.lighting = true;
    r.draw(a.train.cabs, world, lit);
    for (const WheelSet& ws : a.train.wheels) {
      Mat4 frame = wheelRotationAt(ws, v.tick) * translation(ws.position) * world;
      r.draw(ws.driver ? a.train.driverWheel : a.train.smallWheel, frame, lit);
    }
    // Puffs left behind along the chimney's path over the last five seconds.
    for (int i = 0; i < 15; ++i) {
      double age = (15 - i) / 3.0;  // seconds
      double rr = 1.0 - age / 5.0;
      Vec3 origin = transformPoint(a.train.chimneyTop, rotationY(v.trainAngle - 0.2 * age));
      origin.y += 15.0 * (1 - rr * rr * rr);
      double size = (2.0 * (1 - rr * rr) + 0.5) * 20.0;
      r.drawSprite(origin, size, a.smoke[i % 5], rr);
    }
    if (v.lit) {
      for (const Mesh& b : a.buttons) r.draw(b, Mat4::identity(), {});
    }
    if (v.zoom != 1.0) {
      if (!writePng(dir / v.name, 512, 512, r.frame().rgba8(), error)) return false;
    } else if (!save(r, v.name)) {
      return false;
    }
  }
  for (int w = 0; w < 5; ++w) {
    if (!writePng(dir / ("wagon" + std::to_string(w + 1) + ".png"), 256, 256, a.wagons[w].rgba8(), error)) return false;
  }
  if (!writePng(dir / "loco.png", 256, 256, a.loco.rgba8(), error)) return false;
  if (!writePng(dir / "wheel.png", 64, 64, a.wheel.rgba8(), error)) return false;
  for (int i = 0; i < 5; ++i) {
    if (!writePng(dir / ("smoke" + std::to_string(i + 1) + ".png"), 64, 64, a.smoke[i].rgba8(), error)) return false;
  }
  if (!writePng(dir / "icon128.png", 128, 128, a.icons[0].rgba8(), error)) return false;
  if (!writePng(dir / "overlay.png", 512, 512, a.overlay.rgba8(), error)) return false;
  if (!writePng(dir / "background.png", 512, 512, a.background.rgba8(), error)) return false;
  return writePng(dir / "credits.png", 512, 512, a.credits.rgba8(), error);
}

}  // namespace assetgen
