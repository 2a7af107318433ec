#include "mesh_reader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>

#include "x_data.h"

namespace d3dx::hierarchy {
namespace {

constexpr DWORD kNoFace = 0xFFFFFFFF;
constexpr DWORD kLastBetaBits = D3DFVF_LASTBETA_UBYTE4 | D3DFVF_LASTBETA_D3DCOLOR;

// Polygon faces as the file lists them, corners one after another.
struct Polygons {
  std::vector<DWORD> corners;
  std::vector<DWORD> start{0};  // polygon p has corners [start[p], start[p + 1])
  DWORD triangles = 0;
  DWORD count() const { return static_cast<DWORD>(start.size() - 1); }
  DWORD size(DWORD p) const { return start[p + 1] - start[p]; }
};

// Reads a face list (MeshFace array) whose indices must lie below `limit`.
bool readFaces(DataCursor& c, DWORD faceCount, DWORD limit, Polygons& out) {
  out.corners.reserve(std::min<size_t>(c.remaining() / 4, size_t{1} << 24));
  for (DWORD f = 0; f < faceCount; ++f) {
    DWORD n = 0;
    if (!c.read(n) || n < 3 || !c.holds(n, 4)) return false;
    for (DWORD i = 0; i < n; ++i) {
      DWORD index = 0;
      c.read(index);
      if (index >= limit) return false;
      out.corners.push_back(index);
    }
    out.start.push_back(static_cast<DWORD>(out.corners.size()));
    out.triangles += n - 2;
  }
  return true;
}

// Where one element of a vertex lies, by kind; texture sets by index.
enum class Slot { Position, Normal, PointSize, Diffuse, Specular, Texture };
struct Part {
  Slot slot;
  uint32_t set;
  uint32_t offset;
  uint32_t bytes;
};

uint32_t positionBytes(DWORD position) {
  switch (position) {
    case 0:
      return 0;
    case D3DFVF_XYZ:
      return 12;
    case D3DFVF_XYZRHW:
    case D3DFVF_XYZW:
      return 16;
    default:
      return 12 + 4 * ((position - D3DFVF_XYZB1) / 2 + 1);  // XYZB1..XYZB5
  }
}

uint32_t texFloats(DWORD fvf, uint32_t set) {
  static constexpr uint32_t kFloats[4] = {2, 3, 4, 1};
  return kFloats[(fvf >> (16 + 2 * set)) & 3];
}

// The elements of a flexible vertex format in their order; a position is optional (FVFData
// usually carries only what the file's other objects cannot say). False for bits that mean
// nothing.
bool fvfParts(DWORD fvf, std::vector<Part>& parts, uint32_t& stride) {
  const DWORD position = fvf & D3DFVF_POSITION_MASK;
  const bool knownPosition = position == 0 || position == D3DFVF_XYZW || (position & 0x4000) == 0;
  const DWORD texCount = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
  if (!knownPosition || texCount > 8 || (fvf & D3DFVF_RESERVED0)) return false;
  parts.clear();
  stride = 0;
  auto add = [&](Slot slot, uint32_t set, uint32_t bytes) {
    parts.push_back({slot, set, stride, bytes});
    stride += bytes;
  };
  if (position != 0) add(Slot::Position, 0, positionBytes(position));
  if (fvf & D3DFVF_NORMAL) add(Slot::Normal, 0, 12);
  if (fvf & D3DFVF_PSIZE) add(Slot::PointSize, 0, 4);
  if (fvf & D3DFVF_DIFFUSE) add(Slot::Diffuse, 0, 4);
  if (fvf & D3DFVF_SPECULAR) add(Slot::Specular, 0, 4);
  for (uint32_t s = 0; s < texCount; ++s) add(Slot::Texture, s, 4 * texFloats(fvf, s));
  return true;
}

// The vertex format being assembled from the mesh's children.
struct Format {
  DWORD position = D3DFVF_XYZ;  // with the last-beta bits
  bool normal = false, pointSize = false, diffuse = false, specular = false;
  std::vector<uint32_t> texFloats;

  DWORD fvf() const {
    DWORD f = position | (normal ? D3DFVF_NORMAL : 0) | (pointSize ? D3DFVF_PSIZE : 0) |
              (diffuse ? D3DFVF_DIFFUSE : 0) | (specular ? D3DFVF_SPECULAR : 0);
    f |= static_cast<DWORD>(texFloats.size()) << D3DFVF_TEXCOUNT_SHIFT;
    for (size_t s = 0; s < texFloats.size(); ++s) {
      static constexpr DWORD kCode[5] = {0, D3DFVF_TEXTUREFORMAT1, D3DFVF_TEXTUREFORMAT2, D3DFVF_TEXTUREFORMAT3,
                                         D3DFVF_TEXTUREFORMAT4};
      f |= kCode[texFloats[s]] << (16 + 2 * s);
    }
    return f;
  }
  void useSlot(Slot slot, uint32_t set, uint32_t floats) {
    switch (slot) {
      case Slot::Position:
        break;
      case Slot::Normal:
        normal = true;
        break;
      case Slot::PointSize:
        pointSize = true;
        break;
      case Slot::Diffuse:
        diffuse = true;
        break;
      case Slot::Specular:
        specular = true;
        break;
      case Slot::Texture:
        if (texFloats.size() <= set) texFloats.resize(set + 1, 2);
        texFloats[set] = floats;
        break;
    }
  }
};

// Per-vertex values of an FVFData or DeclData child, to be copied into the built vertices.
struct ExtraVertexData {
  const uint8_t* data = nullptr;
  uint32_t stride = 0;
  struct Copy {
    Slot slot;
    uint32_t set;
    uint32_t from;  // offset in the child's vertex
    uint32_t skip;  // bytes of the destination element left alone (a position's x, y, z)
    uint32_t bytes;
  };
  std::vector<Copy> copies;
};

HRESULT readFvfData(ID3DXFileData* object, DWORD vertexCount, bool hasTexCoords, Format& format,
                    ExtraVertexData& extra) {
  DataCursor c(object);
  DWORD fvf = 0, dwords = 0;
  std::vector<Part> parts;
  if (!c.read(fvf) || !c.read(dwords) || !c.holds(dwords, 4) || !fvfParts(fvf, parts, extra.stride)) return E_FAIL;
  if (uint64_t{vertexCount} * extra.stride > uint64_t{dwords} * 4) return E_FAIL;
  extra.data = c.here();
  const uint32_t shift = hasTexCoords ? 1 : 0;
  const uint32_t sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
  if (shift + sets > 8) return D3DERR_INVALIDCALL;
  for (const Part& p : parts) {
    if (p.slot == Slot::Position) {
      // The mesh gives x, y and z; the format brings its blend weights or w.
      format.position = fvf & (D3DFVF_POSITION_MASK | kLastBetaBits);
      if (p.bytes > 12) extra.copies.push_back({Slot::Position, 0, p.offset + 12, 12, p.bytes - 12});
      continue;
    }
    const uint32_t set = p.slot == Slot::Texture ? p.set + shift : 0;
    format.useSlot(p.slot, set, p.bytes / 4);
    extra.copies.push_back({p.slot, set, p.offset, 0, p.bytes});
  }
  return S_OK;
}

// DeclData: the elements an FVF can hold (normal, point size, two colours, texture sets of
// float coordinates) are kept; tangents, binormals and the like are skipped.
HRESULT readDeclData(ID3DXFileData* object, DWORD vertexCount, Format& format, ExtraVertexData& extra) {
  enum : DWORD { kFloat1 = 0, kFloat4 = 3, kColor = 4, kLastType = 16 };
  enum : DWORD { kUsagePointSize = 4, kUsageNormal = 3, kUsageTexCoord = 5, kUsageColor = 10 };
  static constexpr uint8_t kTypeBytes[kLastType + 1] = {4, 8, 12, 16, 4, 4, 4, 8, 4, 4, 8, 4, 8, 4, 4, 4, 8};
  DataCursor c(object);
  DWORD elements = 0;
  if (!c.read(elements) || !c.holds(elements, 16)) return E_FAIL;
  extra.stride = 0;
  for (DWORD e = 0; e < elements; ++e) {
    DWORD type = 0, method = 0, usage = 0, usageIndex = 0;
    c.read(type), c.read(method), c.read(usage), c.read(usageIndex);
    if (type > kLastType) return E_FAIL;
    const uint32_t bytes = kTypeBytes[type];
    std::optional<Slot> slot;
    uint32_t set = 0;
    if (usage == kUsageNormal && usageIndex == 0 && type == kFloat1 + 2) slot = Slot::Normal;
    if (usage == kUsagePointSize && usageIndex == 0 && type == kFloat1) slot = Slot::PointSize;
    if (usage == kUsageColor && usageIndex < 2 && type == kColor)
      slot = usageIndex == 0 ? Slot::Diffuse : Slot::Specular;
    if (usage == kUsageTexCoord && usageIndex < 8 && type <= kFloat4) slot = Slot::Texture, set = usageIndex;
    if (slot) {
      format.useSlot(*slot, set, bytes / 4);
      extra.copies.push_back({*slot, set, extra.stride, 0, bytes});
    }
    extra.stride += bytes;
  }
  DWORD dwords = 0;
  if (!c.read(dwords) || !c.holds(dwords, 4)) return E_FAIL;
  if (uint64_t{vertexCount} * extra.stride > uint64_t{dwords} * 4) return E_FAIL;
  extra.data = c.here();
  return S_OK;
}

struct Bone {
  std::string name;
  std::vector<DWORD> vertices;
  std::vector<float> weights;
  D3DXMATRIX offset;
};

HRESULT readSkinWeights(ID3DXFileData* object, DWORD vertexCount, Bone& bone) {
  DataCursor c(object);
  DWORD count = 0;
  if (!c.readString(bone.name) || !c.read(count) || !c.holds(count, 8)) return E_FAIL;
  bone.vertices.resize(count);
  bone.weights.resize(count);
  for (DWORD& v : bone.vertices) {
    c.read(v);
    if (v >= vertexCount) return E_FAIL;
  }
  for (float& w : bone.weights) c.read(w);
  return c.read(bone.offset) ? S_OK : E_FAIL;
}

DWORD packColor(const float rgba[4]) {
  auto byte = [](float v) {
    return static_cast<DWORD>(std::clamp(std::isnan(v) ? 0.0f : v, 0.0f, 1.0f) * 255.0f + 0.5f);
  };
  return (byte(rgba[3]) << 24) | (byte(rgba[0]) << 16) | (byte(rgba[1]) << 8) | byte(rgba[2]);
}

void addFloats(LoadedMesh::MaterialStore& m, const char* name, std::initializer_list<float> values) {
  LoadedMesh::EffectDefault d{name, D3DXEDT_FLOATS, std::vector<uint8_t>(values.size() * 4)};
  std::memcpy(d.value.data(), values.begin(), d.value.size());
  m.defaults.push_back(std::move(d));
}

void addString(LoadedMesh::MaterialStore& m, std::string name, const std::string& value) {
  m.defaults.push_back({std::move(name), D3DXEDT_STRING, std::vector<uint8_t>(value.begin(), value.end())});
  m.defaults.back().value.push_back(0);
}

HRESULT readEffectInstance(ID3DXFileData* object, LoadedMesh::MaterialStore& m) {
  DataCursor c(object);
  std::string file;
  if (!c.readString(file)) return E_FAIL;
  m.effectFile = file;
  for (SIZE_T i = 0, n = childCount(object); i < n; ++i) {
    ComPtr<ID3DXFileData> param = childAt(object, i);
    if (!param) continue;
    DataCursor p(param.get());
    std::string name;
    if (isType(param.get(), kEffectParamFloatsId)) {
      DWORD count = 0;
      if (!p.readString(name) || !p.read(count) || !p.holds(count, 4)) return E_FAIL;
      m.defaults.push_back({name, D3DXEDT_FLOATS, std::vector<uint8_t>(p.here(), p.here() + count * 4)});
    } else if (isType(param.get(), kEffectParamStringId)) {
      std::string value;
      if (!p.readString(name) || !p.readString(value)) return E_FAIL;
      addString(m, name, value);
    } else if (isType(param.get(), kEffectParamDWordId)) {
      DWORD value = 0;
      if (!p.readString(name) || !p.read(value)) return E_FAIL;
      m.defaults.push_back({name, D3DXEDT_DWORD, std::vector<uint8_t>(4)});
      std::memcpy(m.defaults.back().value.data(), &value, 4);
    }
  }
  return S_OK;
}

HRESULT readMaterial(ID3DXFileData* object, D3DXMATERIAL& material, LoadedMesh::MaterialStore& m) {
  DataCursor c(object);
  float v[11];
  if (!c.read(v)) return E_FAIL;
  D3DMATERIAL9& d = material.MatD3D;
  d.Diffuse = {v[0], v[1], v[2], v[3]};
  d.Power = v[4];
  d.Specular = {v[5], v[6], v[7], 1.0f};
  d.Emissive = {v[8], v[9], v[10], 1.0f};
  d.Ambient = {0.0f, 0.0f, 0.0f, 1.0f};
  bool effectGiven = false;
  for (SIZE_T i = 0, n = childCount(object); i < n; ++i) {
    ComPtr<ID3DXFileData> child = childAt(object, i);
    if (!child) continue;
    if (isType(child.get(), kTextureFilenameId) && !m.texture) {
      // The data is exactly the name and its terminator.
      DataCursor t(child.get());
      std::string name;
      if (!t.readString(name) || t.remaining() != 0) return E_FAIL;
      m.texture = std::move(name);
    } else if (isType(child.get(), kEffectInstanceId) && !effectGiven) {
      const HRESULT hr = readEffectInstance(child.get(), m);
      if (FAILED(hr)) return hr;
      effectGiven = true;
    }
  }
  if (!effectGiven) {
    addFloats(m, "Diffuse", {v[0], v[1], v[2], v[3]});
    addFloats(m, "Power", {v[4]});
    addFloats(m, "Specular", {v[5], v[6], v[7], 1.0f});
    addFloats(m, "Emissive", {v[8], v[9], v[10], 1.0f});
    if (m.texture) addString(m, "Texture", *m.texture);
  }
  return S_OK;
}

// MeshMaterialList: one material index per polygon (later polygons take 0), then the
// Material children in order, inline or referenced.
HRESULT readMaterialList(ID3DXFileData* object, DWORD polygonCount, std::vector<DWORD>& polygonMaterial,
                         LoadedMesh& out) {
  DataCursor c(object);
  DWORD count = 0, indexCount = 0;
  if (!c.read(count) || !c.read(indexCount) || !c.holds(indexCount, 4)) return E_FAIL;
  polygonMaterial.assign(polygonCount, 0);
  for (DWORD k = 0; k < indexCount; ++k) {
    DWORD id = 0;
    c.read(id);
    if (id >= count) return E_FAIL;
    if (k < polygonCount) polygonMaterial[k] = id;
  }
  out.materials.clear();
  out.store.clear();
  for (SIZE_T i = 0, n = childCount(object); i < n && out.materials.size() < count; ++i) {
    ComPtr<ID3DXFileData> child = childAt(object, i);
    if (!child || !isType(child.get(), kMaterialId)) continue;
    out.materials.emplace_back();
    out.store.emplace_back();
    const HRESULT hr = readMaterial(child.get(), out.materials.back(), out.store.back());
    if (FAILED(hr)) return hr;
  }
  return out.materials.size() == count ? S_OK : E_FAIL;
}

// Points the published records at the strings and values they describe.
void publishMaterials(LoadedMesh& out) {
  out.effects.resize(out.materials.size());
  for (size_t i = 0; i < out.materials.size(); ++i) {
    LoadedMesh::MaterialStore& m = out.store[i];
    out.materials[i].pTextureFilename = m.texture ? m.texture->data() : nullptr;
    m.published.clear();
    for (LoadedMesh::EffectDefault& d : m.defaults)
      m.published.push_back({d.name.data(), d.type, static_cast<DWORD>(d.value.size()), d.value.data()});
    out.effects[i] = {m.effectFile ? m.effectFile->data() : nullptr, static_cast<DWORD>(m.published.size()),
                      m.published.empty() ? nullptr : m.published.data()};
  }
}

// The pieces of a Mesh object before the mesh is built.
struct MeshParts {
  DWORD vertexCount = 0;
  const uint8_t* positions = nullptr;
  Polygons polygons;
  std::vector<D3DXVECTOR3> normals;
  std::vector<DWORD> cornerNormal;  // per corner, when normals are given
  const uint8_t* texCoords = nullptr;
  std::vector<DWORD> colors;  // per vertex, when given
  std::vector<DWORD> polygonMaterial;
  std::vector<DWORD> duplicates;     // VertexDuplicationIndices, when usable
  std::vector<DWORD> fileAdjacency;  // FaceAdjacency, when usable
  std::vector<Bone> bones;
  Format format;
  std::vector<ExtraVertexData> extras;
};

HRESULT readNormals(ID3DXFileData* object, MeshParts& parts) {
  DataCursor c(object);
  DWORD count = 0, faceCount = 0;
  if (!c.read(count) || !c.holds(count, 12)) return E_FAIL;
  parts.normals.resize(count);
  for (D3DXVECTOR3& n : parts.normals) c.read(n);
  Polygons faces;
  if (!c.read(faceCount) || faceCount != parts.polygons.count() || !readFaces(c, faceCount, count, faces))
    return E_FAIL;
  for (DWORD p = 0; p < faceCount; ++p)
    if (faces.size(p) != parts.polygons.size(p)) return E_FAIL;
  parts.cornerNormal = std::move(faces.corners);
  parts.format.normal = true;
  return S_OK;
}

HRESULT readVertexColors(ID3DXFileData* object, MeshParts& parts) {
  DataCursor c(object);
  DWORD count = 0;
  if (!c.read(count) || !c.holds(count, 20)) return E_FAIL;
  parts.colors.assign(parts.vertexCount, 0xFFFFFFFF);
  for (DWORD i = 0; i < count; ++i) {
    DWORD index = 0;
    float rgba[4];
    c.read(index), c.read(rgba);
    if (index >= parts.vertexCount) return E_FAIL;
    parts.colors[index] = packColor(rgba);
  }
  parts.format.diffuse = true;
  return S_OK;
}

// Indices into the mesh's own lists that only help adjacency: used when they fit the mesh,
// passed over otherwise.
std::vector<DWORD> readIndexList(ID3DXFileData* object, bool withOriginalCount, size_t expected, DWORD limit,
                                 bool noneAllowed) {
  DataCursor c(object);
  DWORD count = 0, original = 0;
  if (!c.read(count) || (withOriginalCount && !c.read(original)) || count != expected || !c.holds(count, 4)) return {};
  std::vector<DWORD> list(count);
  for (DWORD& v : list) {
    c.read(v);
    if (v >= limit && !(noneAllowed && v == kNoFace)) return {};
  }
  return list;
}

HRESULT readChildren(ID3DXFileData* meshObject, MeshParts& parts, LoadedMesh& out) {
  // Texture coordinates come first: FVFData places its sets after them.
  std::vector<ComPtr<ID3DXFileData>> fvfData, declData;
  for (SIZE_T i = 0, n = childCount(meshObject); i < n; ++i) {
    ComPtr<ID3DXFileData> child = childAt(meshObject, i);
    if (!child) continue;
    const GUID type = typeOf(child.get());
    HRESULT hr = S_OK;
    if (IsEqualGUID(type, kMeshNormalsId)) {
      hr = readNormals(child.get(), parts);
    } else if (IsEqualGUID(type, kMeshTextureCoordsId)) {
      DataCursor c(child.get());
      DWORD count = 0;
      if (!c.read(count) || count != parts.vertexCount || !c.holds(count, 8)) return E_FAIL;
      parts.texCoords = c.here();
    } else if (IsEqualGUID(type, kMeshVertexColorsId)) {
      hr = readVertexColors(child.get(), parts);
    } else if (IsEqualGUID(type, kMeshMaterialListId)) {
      hr = readMaterialList(child.get(), parts.polygons.count(), parts.polygonMaterial, out);
    } else if (IsEqualGUID(type, kVertexDuplicationIndicesId)) {
      parts.duplicates = readIndexList(child.get(), true, parts.vertexCount, parts.vertexCount, false);
    } else if (IsEqualGUID(type, kFaceAdjacencyId)) {
      parts.fileAdjacency =
          readIndexList(child.get(), false, size_t{parts.polygons.triangles} * 3, parts.polygons.triangles, true);
    } else if (IsEqualGUID(type, kSkinWeightsId)) {
      parts.bones.emplace_back();
      hr = readSkinWeights(child.get(), parts.vertexCount, parts.bones.back());
    } else if (IsEqualGUID(type, kFVFDataId)) {
      fvfData.push_back(child);
    } else if (IsEqualGUID(type, kDeclDataId)) {
      declData.push_back(child);
    } else if (!IsEqualGUID(type, kXSkinMeshHeaderId) && !IsEqualGUID(type, kPMInfoId)) {
      // The skin header's counts follow from the SkinWeights themselves; progressive-mesh
      // records are not used, the base mesh is.
      out.unread.push_back(child);
    }
    if (FAILED(hr)) return hr;
  }
  if (parts.texCoords) parts.format.texFloats.assign(1, 2);
  for (const auto& child : fvfData) {
    parts.extras.emplace_back();
    const HRESULT hr =
        readFvfData(child.get(), parts.vertexCount, parts.texCoords != nullptr, parts.format, parts.extras.back());
    if (FAILED(hr)) return hr;
  }
  for (const auto& child : declData) {
    parts.extras.emplace_back();
    const HRESULT hr = readDeclData(child.get(), parts.vertexCount, parts.format, parts.extras.back());
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

// One output vertex per position and distinct normal: a position's first normal keeps the
// position's own index, others get new vertices at the end. Fills the output vertex of
// every corner and the source position of every output vertex.
void splitVertices(const MeshParts& parts, std::vector<DWORD>& cornerVertex, std::vector<DWORD>& source) {
  source.resize(parts.vertexCount);
  for (DWORD v = 0; v < parts.vertexCount; ++v) source[v] = v;
  cornerVertex = parts.polygons.corners;
  if (parts.cornerNormal.empty()) return;
  std::vector<DWORD> firstNormal(parts.vertexCount, kNoFace);
  std::vector<std::vector<std::pair<DWORD, DWORD>>> more(parts.vertexCount);  // (normal, vertex)
  auto same = [&](DWORD a, DWORD b) {
    return a == b || std::memcmp(&parts.normals[a], &parts.normals[b], sizeof(D3DXVECTOR3)) == 0;
  };
  for (size_t k = 0; k < cornerVertex.size(); ++k) {
    const DWORD v = parts.polygons.corners[k], n = parts.cornerNormal[k];
    if (firstNormal[v] == kNoFace) firstNormal[v] = n;
    if (same(firstNormal[v], n)) continue;
    auto found = std::find_if(more[v].begin(), more[v].end(), [&](auto& e) { return same(e.first, n); });
    if (found == more[v].end()) {
      more[v].push_back({n, static_cast<DWORD>(source.size())});
      source.push_back(v);
      found = more[v].end() - 1;
    }
    cornerVertex[k] = found->second;
  }
}

struct SlotOffsets {
  std::vector<Part> parts;
  uint32_t stride = 0;
  const Part* find(Slot slot, uint32_t set = 0) const {
    for (const Part& p : parts)
      if (p.slot == slot && p.set == set) return &p;
    return nullptr;
  }
};

void writeVertices(const MeshParts& parts, const std::vector<DWORD>& cornerVertex, const std::vector<DWORD>& source,
                   const SlotOffsets& layout, uint8_t* out) {
  const Part* normal = layout.find(Slot::Normal);
  const Part* diffuse = layout.find(Slot::Diffuse);
  const Part* tex0 = layout.find(Slot::Texture, 0);
  for (size_t o = 0; o < source.size(); ++o) {
    uint8_t* vertex = out + o * layout.stride;
    const DWORD v = source[o];
    std::memcpy(vertex, parts.positions + size_t{v} * 12, 12);
    if (diffuse && !parts.colors.empty()) std::memcpy(vertex + diffuse->offset, &parts.colors[v], 4);
    if (tex0 && parts.texCoords)
      std::memcpy(vertex + tex0->offset, parts.texCoords + size_t{v} * 8, std::min(8u, tex0->bytes));
    for (const ExtraVertexData& extra : parts.extras)
      for (const ExtraVertexData::Copy& copy : extra.copies) {
        const Part* to = layout.find(copy.slot, copy.set);
        std::memcpy(vertex + to->offset + copy.skip, extra.data + size_t{v} * extra.stride + copy.from,
                    std::min(copy.bytes, to->bytes - copy.skip));
      }
  }
  if (normal && !parts.cornerNormal.empty()) {
    for (size_t k = 0; k < cornerVertex.size(); ++k)
      std::memcpy(out + size_t{cornerVertex[k]} * layout.stride + normal->offset, &parts.normals[parts.cornerNormal[k]],
                  12);
  }
}

HRESULT buildMesh(const MeshParts& parts, DWORD options, IDirect3DDevice9* device, LoadedMesh& out) {
  std::vector<DWORD> cornerVertex, source;
  splitVertices(parts, cornerVertex, source);
  const DWORD vertexCount = static_cast<DWORD>(source.size());
  const DWORD fvf = parts.format.fvf();
  SlotOffsets layout;
  if (!fvfParts(fvf, layout.parts, layout.stride)) return E_FAIL;
  if (vertexCount > 0xFFFF) options |= D3DXMESH_32BIT;
  HRESULT hr = D3DXCreateMeshFVF(parts.polygons.triangles, vertexCount, options, fvf, device, out.mesh.receive());
  if (FAILED(hr)) return hr;

  void* data = nullptr;
  if (FAILED(hr = out.mesh->LockVertexBuffer(0, &data))) return hr;
  writeVertices(parts, cornerVertex, source, layout, static_cast<uint8_t*>(data));
  out.mesh->UnlockVertexBuffer();

  const bool wide = (out.mesh->GetOptions() & D3DXMESH_32BIT) != 0;
  if (FAILED(hr = out.mesh->LockIndexBuffer(0, &data))) return hr;
  DWORD* attributes = nullptr;
  if (FAILED(hr = out.mesh->LockAttributeBuffer(0, &attributes))) {
    out.mesh->UnlockIndexBuffer();
    return hr;
  }
  size_t written = 0;
  auto put = [&](DWORD index) {
    if (wide)
      static_cast<DWORD*>(data)[written++] = index;
    else
      static_cast<uint16_t*>(data)[written++] = static_cast<uint16_t>(index);
  };
  DWORD face = 0;
  for (DWORD p = 0; p < parts.polygons.count(); ++p) {
    const DWORD* corner = cornerVertex.data() + parts.polygons.start[p];
    for (DWORD i = 1; i + 1 < parts.polygons.size(p); ++i) {
      put(corner[0]), put(corner[i]), put(corner[i + 1]);
      attributes[face++] = parts.polygonMaterial.empty() ? 0 : parts.polygonMaterial[p];
    }
  }
  out.mesh->UnlockAttributeBuffer();
  out.mesh->UnlockIndexBuffer();

  out.adjacency.resize(size_t{parts.polygons.triangles} * 3);
  if (!parts.fileAdjacency.empty()) {
    out.adjacency = parts.fileAdjacency;
  } else {
    // Split copies stand for their position, and positions for the ones they duplicate.
    std::vector<DWORD> reps(vertexCount);
    for (DWORD o = 0; o < vertexCount; ++o)
      reps[o] = parts.duplicates.empty() ? source[o] : parts.duplicates[source[o]];
    if (FAILED(hr = out.mesh->ConvertPointRepsToAdjacency(reps.data(), out.adjacency.data()))) return hr;
  }

  if (parts.bones.empty()) return S_OK;
  std::vector<std::vector<DWORD>> copies(parts.vertexCount);
  for (DWORD o = 0; o < vertexCount; ++o) copies[source[o]].push_back(o);
  if (FAILED(hr = D3DXCreateSkinInfoFVF(vertexCount, fvf, static_cast<DWORD>(parts.bones.size()), out.skin.receive())))
    return hr;
  for (DWORD b = 0; b < parts.bones.size(); ++b) {
    const Bone& bone = parts.bones[b];
    std::vector<DWORD> vertices;
    std::vector<float> weights;
    for (size_t i = 0; i < bone.vertices.size(); ++i)
      for (DWORD o : copies[bone.vertices[i]]) vertices.push_back(o), weights.push_back(bone.weights[i]);
    if (FAILED(hr = out.skin->SetBoneName(b, bone.name.c_str())) ||
        FAILED(hr = out.skin->SetBoneOffsetMatrix(b, &bone.offset)) ||
        FAILED(hr =
                   out.skin->SetBoneInfluence(b, static_cast<DWORD>(vertices.size()), vertices.data(), weights.data())))
      return hr;
  }
  return S_OK;
}

}  // namespace

HRESULT readMesh(ID3DXFileData* meshObject, DWORD options, IDirect3DDevice9* device, LoadedMesh& out) {
  MeshParts parts;
  DataCursor c(meshObject);
  DWORD faceCount = 0;
  if (!c.read(parts.vertexCount) || !c.holds(parts.vertexCount, 12)) return E_FAIL;
  parts.positions = c.here();
  c.skip(uint64_t{parts.vertexCount} * 12);
  if (!c.read(faceCount) || !readFaces(c, faceCount, parts.vertexCount, parts.polygons) || c.remaining() != 0)
    return E_FAIL;
  if (parts.vertexCount == 0 || parts.polygons.triangles == 0) return D3DXERR_LOADEDMESHASNODATA;

  HRESULT hr = readChildren(meshObject, parts, out);
  if (FAILED(hr)) return hr;
  publishMaterials(out);
  return buildMesh(parts, options, device, out);
}

}  // namespace d3dx::hierarchy
