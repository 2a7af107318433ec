// Reading the X data objects the loader walks: type, name, children, and the packed member
// data through a cursor that never reads past its end.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "d3dx9hierarchy.h"
#include "d3dx_com.h"

namespace d3dx::hierarchy {

// Published identifiers of the templates the loader dispatches on.
inline constexpr GUID kFrameId = {0x3D82AB46, 0x62DA, 0x11CF, {0xAB, 0x39, 0x00, 0x20, 0xAF, 0x71, 0xE4, 0x33}};
inline constexpr GUID kFrameTransformMatrixId = {
    0xF6F23F41, 0x7686, 0x11CF, {0x8F, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94, 0xA3}};
inline constexpr GUID kMeshId = {0x3D82AB44, 0x62DA, 0x11CF, {0xAB, 0x39, 0x00, 0x20, 0xAF, 0x71, 0xE4, 0x33}};
inline constexpr GUID kPatchMeshId = {0xD02C95CC, 0xEDBA, 0x4305, {0x9B, 0x5D, 0x18, 0x20, 0xD7, 0x70, 0x4B, 0xBF}};
inline constexpr GUID kPatchMesh9Id = {0xB9EC94E1, 0xB9A6, 0x4251, {0xBA, 0x18, 0x94, 0x89, 0x3F, 0x02, 0xC0, 0xEA}};
inline constexpr GUID kAnimationSetId = {0x3D82AB50, 0x62DA, 0x11CF, {0xAB, 0x39, 0x00, 0x20, 0xAF, 0x71, 0xE4, 0x33}};
inline constexpr GUID kAnimationId = {0x3D82AB4F, 0x62DA, 0x11CF, {0xAB, 0x39, 0x00, 0x20, 0xAF, 0x71, 0xE4, 0x33}};
inline constexpr GUID kAnimationKeyId = {0x10DD46A8, 0x775B, 0x11CF, {0x8F, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94, 0xA3}};
inline constexpr GUID kAnimTicksPerSecondId = {
    0x9E415A43, 0x7BA6, 0x4A73, {0x87, 0x43, 0xB7, 0x3D, 0x47, 0xE8, 0x84, 0x76}};
inline constexpr GUID kMeshNormalsId = {0xF6F23F43, 0x7686, 0x11CF, {0x8F, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94, 0xA3}};
inline constexpr GUID kMeshTextureCoordsId = {
    0xF6F23F40, 0x7686, 0x11CF, {0x8F, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94, 0xA3}};
inline constexpr GUID kMeshVertexColorsId = {
    0x1630B821, 0x7842, 0x11CF, {0x8F, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94, 0xA3}};
inline constexpr GUID kMeshMaterialListId = {
    0xF6F23F42, 0x7686, 0x11CF, {0x8F, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94, 0xA3}};
inline constexpr GUID kMaterialId = {0x3D82AB4D, 0x62DA, 0x11CF, {0xAB, 0x39, 0x00, 0x20, 0xAF, 0x71, 0xE4, 0x33}};
inline constexpr GUID kTextureFilenameId = {
    0xA42790E1, 0x7810, 0x11CF, {0x8F, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94, 0xA3}};
inline constexpr GUID kVertexDuplicationIndicesId = {
    0xB8D65549, 0xD7C9, 0x4995, {0x89, 0xCF, 0x53, 0xA9, 0xA8, 0xB0, 0x31, 0xE3}};
inline constexpr GUID kFaceAdjacencyId = {0xA64C844A, 0xE282, 0x4756, {0x8B, 0x80, 0x25, 0x0C, 0xDE, 0x04, 0x39, 0x8C}};
inline constexpr GUID kXSkinMeshHeaderId = {
    0x3CF169CE, 0xFF7C, 0x44AB, {0x93, 0xC0, 0xF7, 0x8F, 0x62, 0xD1, 0x72, 0xE2}};
inline constexpr GUID kSkinWeightsId = {0x6F0D123B, 0xBAD2, 0x4167, {0xA0, 0xD0, 0x80, 0x22, 0x4F, 0x25, 0xFA, 0xBB}};
inline constexpr GUID kFVFDataId = {0xB6E70A0E, 0x8EF9, 0x4E83, {0x94, 0xAD, 0xEC, 0xC8, 0xB0, 0xC0, 0x48, 0x97}};
inline constexpr GUID kDeclDataId = {0xBF22E553, 0x292C, 0x4781, {0x9F, 0xEA, 0x62, 0xBD, 0x55, 0x4B, 0xDD, 0x93}};
inline constexpr GUID kPMInfoId = {0xB6C3E656, 0xEC8B, 0x4B92, {0x9B, 0x62, 0x68, 0x16, 0x59, 0x52, 0x29, 0x47}};
inline constexpr GUID kEffectInstanceId = {
    0xE331F7E4, 0x0559, 0x4CC2, {0x8E, 0x99, 0x1C, 0xEC, 0x16, 0x57, 0x92, 0x8F}};
inline constexpr GUID kEffectParamFloatsId = {
    0x3014B9A0, 0x62F5, 0x478C, {0x9B, 0x86, 0xE4, 0xAC, 0x9F, 0x4E, 0x41, 0x8B}};
inline constexpr GUID kEffectParamStringId = {
    0x1DBC4C88, 0x94C1, 0x46EE, {0x90, 0x76, 0x2C, 0x28, 0x18, 0x9C, 0x94, 0x81}};
inline constexpr GUID kEffectParamDWordId = {
    0xE13963BC, 0xAE51, 0x4C5D, {0xB0, 0x0F, 0xCF, 0xA3, 0xA9, 0xD9, 0x7C, 0xE5}};

inline GUID typeOf(ID3DXFileData* data) {
  GUID type{};
  data->GetType(&type);
  return type;
}

inline bool isType(ID3DXFileData* data, const GUID& id) { return IsEqualGUID(typeOf(data), id); }

// The object's name; empty for an unnamed one.
inline std::string nameOf(ID3DXFileData* data) {
  SIZE_T size = 0;
  if (FAILED(data->GetName(nullptr, &size)) || size == 0) return {};
  std::string name(size, '\0');
  if (FAILED(data->GetName(name.data(), &size))) return {};
  name.resize(std::strlen(name.c_str()));
  return name;
}

inline SIZE_T childCount(ID3DXFileData* data) {
  SIZE_T n = 0;
  data->GetChildren(&n);
  return n;
}

inline ComPtr<ID3DXFileData> childAt(ID3DXFileData* data, SIZE_T index) {
  ComPtr<ID3DXFileData> child;
  data->GetChild(index, child.receive());
  return child;
}

// Reads packed little-endian members front to back. Every read checks the remaining size;
// a failed read leaves the cursor where it was.
class DataCursor {
 public:
  DataCursor() = default;
  DataCursor(const void* data, size_t size) : m_data(static_cast<const uint8_t*>(data)), m_size(size) {}
  // The object's packed data (empty when it cannot be locked). The reader keeps it
  // unchanged while the object is held.
  explicit DataCursor(ID3DXFileData* object) {
    SIZE_T size = 0;
    LPCVOID data = nullptr;
    if (SUCCEEDED(object->Lock(&size, &data))) {
      m_data = static_cast<const uint8_t*>(data);
      m_size = size;
      object->Unlock();
    }
  }

  size_t remaining() const { return m_size - m_pos; }
  size_t size() const { return m_size; }
  const uint8_t* here() const { return m_data + m_pos; }

  bool skip(uint64_t bytes) {
    if (bytes > remaining()) return false;
    m_pos += static_cast<size_t>(bytes);
    return true;
  }
  template <typename T>
  bool read(T& value) {
    if (sizeof(T) > remaining()) return false;
    std::memcpy(&value, m_data + m_pos, sizeof(T));
    m_pos += sizeof(T);
    return true;
  }
  // A STRING member: the characters up to a zero byte, which must lie within the data.
  bool readString(std::string& value) {
    if (remaining() == 0) return false;
    const void* end = std::memchr(here(), 0, remaining());
    if (end == nullptr) return false;
    const size_t length = static_cast<size_t>(static_cast<const uint8_t*>(end) - here());
    value.assign(reinterpret_cast<const char*>(here()), length);
    m_pos += length + 1;
    return true;
  }
  // `count` values of `bytesEach` bytes lie ahead (no overflow for any count).
  bool holds(uint64_t count, uint64_t bytesEach) const { return count <= remaining() / bytesEach; }

 private:
  const uint8_t* m_data = nullptr;
  size_t m_size = 0;
  size_t m_pos = 0;
};

}  // namespace d3dx::hierarchy
