#include "flat_meshes.h"

namespace assetgen {

void addScreenQuad(Mesh& mesh, const Camera& camera, const PixelRect& pixels, double depth, const PixelRect& texels,
                   int textureSize, uint32_t material) {
  // Pixel i spans window x i - 0.5 .. i + 0.5, so the quad's edges lie half a pixel outside
  // the outermost pixel centres, and texel edges map onto pixel edges.
  const double x0 = pixels.left - 0.5, x1 = pixels.right + 0.5;
  const double y0 = pixels.top - 0.5, y1 = pixels.bottom + 0.5;
  const double s = textureSize;
  const double uv[8] = {texels.left / s, texels.top / s,         (texels.right + 1) / s,
                        texels.top / s,  (texels.right + 1) / s, (texels.bottom + 1) / s,
                        texels.left / s, (texels.bottom + 1) / s};
  const Vec3 n = camera.forward() * -1.0;
  mesh.addQuad(camera.unproject(x0, y0, depth), camera.unproject(x1, y0, depth), camera.unproject(x1, y1, depth),
               camera.unproject(x0, y1, depth), n, uv, material);
}

namespace {

Material plain(const std::string& name, const std::string& texture = {}) {
  Material m;
  m.name = name;
  m.texture = texture;
  return m;
}

Mesh quadWithTwoMaterials(const std::string& firstName, const std::string& secondName, const std::string& texture) {
  Mesh m;
  m.materials = {plain(firstName), plain(secondName, texture)};
  return m;
}

// The quad as two triangles, as the single-quad meshes store it.
void splitIntoTriangles(Mesh& m) {
  std::vector<uint32_t> quad = m.faces.front();
  uint32_t material = m.faceMaterials.front();
  m.faces.clear();
  m.faceMaterials.clear();
  m.addFace({quad[0], quad[1], quad[2]}, material);
  m.addFace({quad[0], quad[2], quad[3]}, material);
}

}  // namespace

Mesh planesMesh(const Camera& camera) {
  Mesh m;
  m.materials = {plain("Untextured"),
                 plain("WheelPlane", "wheel.ppm"),
                 plain("WagonPlane", "wagon.ppm"),
                 plain("LocoPlane", "coal_loco.ppm"),
                 plain("Background", "final_back.jpg"),
                 plain("Overlay", "final_layer.tga")};
  const PixelRect window{0, 0, 511, 511};
  addScreenQuad(m, camera, window, kBackgroundDepth, window, 512, 4);
  const PixelRect strips[3] = {
      {0, 0, 511, kOverlaySplit1 - 1}, {0, kOverlaySplit1, 511, kOverlaySplit2 - 1}, {0, kOverlaySplit2, 511, 511}};
  for (const PixelRect& s : strips) addScreenQuad(m, camera, s, kOverlayDepth, s, 512, 5);
  return m;
}

Mesh creditsMesh(const Camera& camera) {
  Mesh m = quadWithTwoMaterials("CreditsFrame", "CreditsPicture", "credz.jpg");
  const PixelRect window{0, 0, 511, 511};
  addScreenQuad(m, camera, window, kCreditsDepth, window, 512, 1);
  splitIntoTriangles(m);
  return m;
}

Mesh buttonMesh(const Camera& camera, size_t index) {
  Mesh m = quadWithTwoMaterials("ButtonFrame", "ButtonLit", "final_layer.tga");
  addScreenQuad(m, camera, kButtons[index].rect, kButtonDepth, litButtonAtlasRect(index), 512, 1);
  splitIntoTriangles(m);
  return m;
}

}  // namespace assetgen
