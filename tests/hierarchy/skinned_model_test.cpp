// A tube with two bones written out as X data: its skin reaches the allocator with the bones'
// names and offsets, converts to a blended mesh, and that mesh follows the bone frames.
#include <cmath>

#include "hierarchy_test_support.h"

namespace hierarchytest {
namespace {

// Three square rings at x = 0, 1 and 2 joined by eight quads. Bone "Root" (at the origin)
// holds ring 0 and half of ring 1, bone "Tip" (a child of Root at x = 1) the other half and
// ring 2.
std::string tubeFile() {
  std::string vertices, faces;
  const float corners[4][2] = {{-0.25f, -0.25f}, {0.25f, -0.25f}, {0.25f, 0.25f}, {-0.25f, 0.25f}};
  for (int ring = 0; ring < 3; ++ring)
    for (const auto& c : corners)
      vertices += std::to_string(ring) + ";" + std::to_string(c[0]) + ";" + std::to_string(c[1]) + ";" +
                  (ring == 2 && &c == &corners[3] ? ";" : ",");
  for (int ring = 0; ring < 2; ++ring)
    for (int k = 0; k < 4; ++k) {
      const int a = ring * 4 + k, b = ring * 4 + (k + 1) % 4;
      faces += "4;" + std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(b + 4) + "," +
               std::to_string(a + 4) + ";" + (ring == 1 && k == 3 ? ";" : ",");
    }
  return "xof 0303txt 0032\n"
         "Frame Body { Mesh Tube { 12; " +
         vertices + " 8; " + faces +
         "  XSkinMeshHeader { 2; 4; 2; }\n"
         "  SkinWeights { \"Root\"; 8; 0,1,2,3,4,5,6,7; 1,1,1,1,0.5,0.5,0.5,0.5; 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; }\n"
         "  SkinWeights { \"Tip\"; 8; 4,5,6,7,8,9,10,11; 0.5,0.5,0.5,0.5,1,1,1,1; 1,0,0,0,0,1,0,0,0,0,1,0,-1,0,0,1;; "
         "}\n"
         "} }\n"
         "Frame Root { Frame Tip { FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 1,0,0,1;; } } }\n";
}

D3DXVECTOR3 transform(const D3DXVECTOR3& p, const D3DXMATRIX& m) {
  D3DXVECTOR3 out;
  D3DXVec3TransformCoord(&out, &p, &m);
  return out;
}

TEST_F(LoaderTest, SkinnedTubeBendsWithItsTipBone) {
  ASSERT_EQ(load(tubeFile()), S_OK);
  Container* c = containerOf(D3DXFrameFind(root, "Body"));
  ASSERT_NE(c, nullptr);
  ID3DXSkinInfo* skin = c->pSkinInfo;
  ASSERT_NE(skin, nullptr);
  ASSERT_EQ(skin->GetNumBones(), 2u);
  EXPECT_STREQ(skin->GetBoneName(0), "Root");
  EXPECT_STREQ(skin->GetBoneName(1), "Tip");
  EXPECT_EQ(skin->GetBoneOffsetMatrix(1)->m[3][0], -1.0f);
  DWORD influences = 0;
  ASSERT_EQ(skin->GetMaxVertexInfluences(&influences), S_OK);
  EXPECT_EQ(influences, 2u);

  DWORD maxFaceInfluences = 0, combinationCount = 0;
  ComPtr<ID3DXBuffer> combinations;
  ComPtr<ID3DXMesh> blended;
  ASSERT_EQ(
      skin->ConvertToBlendedMesh(c->MeshData.pMesh, D3DXMESH_MANAGED, c->pAdjacency, nullptr, nullptr, nullptr,
                                 &maxFaceInfluences, &combinationCount, combinations.receive(), blended.receive()),
      S_OK);
  ASSERT_EQ(maxFaceInfluences, 2u);
  ASSERT_EQ(blended->GetFVF() & D3DFVF_POSITION_MASK, DWORD{D3DFVF_XYZB1});
  EXPECT_EQ(blended->GetNumFaces(), 16u);

  // Bend the tip a quarter turn about z at the joint, then pose every blended vertex from
  // its weight and the bone matrices (offset x the bone frame's world matrix).
  LPD3DXFRAME rootBone = D3DXFrameFind(root, "Root"), tipBone = D3DXFrameFind(root, "Tip");
  ASSERT_NE(tipBone, nullptr);
  const D3DXQUATERNION quarterTurn{0.0f, 0.0f, std::sqrt(0.5f), std::sqrt(0.5f)};
  D3DXMATRIX turn, joint;
  D3DXMatrixRotationQuaternion(&turn, &quarterTurn);
  D3DXMatrixTranslation(&joint, 1.0f, 0.0f, 0.0f);
  D3DXMatrixMultiply(&tipBone->TransformationMatrix, &turn, &joint);
  D3DXMATRIX world[2], bone[2];
  world[0] = rootBone->TransformationMatrix;
  D3DXMatrixMultiply(&world[1], &tipBone->TransformationMatrix, &world[0]);
  for (int b = 0; b < 2; ++b) D3DXMatrixMultiply(&bone[b], skin->GetBoneOffsetMatrix(b), &world[b]);

  const auto* table = static_cast<const D3DXBONECOMBINATION*>(combinations->GetBufferPointer());
  void* data = nullptr;
  ASSERT_EQ(blended->LockVertexBuffer(D3DLOCK_READONLY, &data), S_OK);
  const DWORD stride = blended->GetNumBytesPerVertex();
  int posed = 0;
  for (DWORD k = 0; k < combinationCount; ++k) {
    for (DWORD v = table[k].VertexStart; v < table[k].VertexStart + table[k].VertexCount; ++v) {
      const float* f = reinterpret_cast<const float*>(static_cast<const uint8_t*>(data) + v * stride);
      const D3DXVECTOR3 p(f[0], f[1], f[2]);
      const float weights[2] = {f[3], 1.0f - f[3]};
      D3DXVECTOR3 out(0, 0, 0);
      for (int slot = 0; slot < 2; ++slot) {
        if (table[k].BoneId[slot] == 0xFFFFFFFF) continue;
        const D3DXVECTOR3 q = transform(p, bone[table[k].BoneId[slot]]);
        out.x += weights[slot] * q.x, out.y += weights[slot] * q.y, out.z += weights[slot] * q.z;
      }
      // Ring 0 stays, ring 2 swings round to x = 1 - y, y = 1, and ring 1 goes halfway.
      const D3DXVECTOR3 expected = p.x < 0.5f   ? p
                                   : p.x < 1.5f ? D3DXVECTOR3(1.0f - p.y / 2, p.y / 2, p.z)
                                                : D3DXVECTOR3(1.0f - p.y, 1.0f, p.z);
      EXPECT_NEAR(out.x, expected.x, 1e-5) << "vertex at " << p.x << "," << p.y << "," << p.z;
      EXPECT_NEAR(out.y, expected.y, 1e-5) << "vertex at " << p.x << "," << p.y << "," << p.z;
      EXPECT_NEAR(out.z, expected.z, 1e-5) << "vertex at " << p.x << "," << p.y << "," << p.z;
      ++posed;
    }
  }
  blended->UnlockVertexBuffer();
  EXPECT_GE(posed, 12);
}

}  // namespace
}  // namespace hierarchytest
