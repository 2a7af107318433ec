// Matrix and vector routines of the asset library, under their published D3DX names.
// Conventions: row vectors multiplied on the left ((x, y, z, 1) x M), matrices stored row by
// row, translation in the fourth row, A x B applies A first; left-handed; radians. Every
// routine writes through its first argument (which may alias an input) and returns it.
// Arithmetic runs in double precision and each result is rounded once to 32-bit floats.
#pragma once

#include <d3d9.h>

struct D3DXVECTOR3 : public D3DVECTOR {
  D3DXVECTOR3() = default;
  D3DXVECTOR3(FLOAT vx, FLOAT vy, FLOAT vz) : D3DVECTOR{vx, vy, vz} {}
};

struct D3DXQUATERNION {
  FLOAT x, y, z, w;
};

struct D3DXMATRIX : public D3DMATRIX {
  D3DXMATRIX() = default;
  FLOAT& operator()(UINT row, UINT col) { return m[row][col]; }
  FLOAT operator()(UINT row, UINT col) const { return m[row][col]; }
};

static_assert(sizeof(D3DXVECTOR3) == 3 * sizeof(FLOAT));
static_assert(sizeof(D3DXQUATERNION) == 4 * sizeof(FLOAT));
static_assert(sizeof(D3DXMATRIX) == 16 * sizeof(FLOAT));

extern "C" {
D3DXMATRIX* WINAPI D3DXMatrixIdentity(D3DXMATRIX* out);
D3DXMATRIX* WINAPI D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* a, const D3DXMATRIX* b);
D3DXMATRIX* WINAPI D3DXMatrixScaling(D3DXMATRIX* out, FLOAT sx, FLOAT sy, FLOAT sz);
D3DXMATRIX* WINAPI D3DXMatrixTranslation(D3DXMATRIX* out, FLOAT x, FLOAT y, FLOAT z);
// Rotation about the y axis: (x, y, z) -> (x cos a + z sin a, y, -x sin a + z cos a).
D3DXMATRIX* WINAPI D3DXMatrixRotationY(D3DXMATRIX* out, FLOAT angle);
// The rotation a unit quaternion describes, for row vectors.
D3DXMATRIX* WINAPI D3DXMatrixRotationQuaternion(D3DXMATRIX* out, const D3DXQUATERNION* q);
// The unit quaternion of the rotation in the upper 3 x 3 of an orthonormal matrix; the
// inverse of D3DXMatrixRotationQuaternion up to the sign of the quaternion.
D3DXQUATERNION* WINAPI D3DXQuaternionRotationMatrix(D3DXQUATERNION* out, const D3DXMATRIX* m);
// q scaled to unit length by the same rule as D3DXVec3Normalize, over all four components.
D3DXQUATERNION* WINAPI D3DXQuaternionNormalize(D3DXQUATERNION* out, const D3DXQUATERNION* q);
// Camera looking from eye at a point, y up: view space has x right, y up, z away.
D3DXMATRIX* WINAPI D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at,
                                      const D3DXVECTOR3* up);
// Projection mapping view depth zn to 0 and zf to 1.
D3DXMATRIX* WINAPI D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, FLOAT fovy, FLOAT aspect, FLOAT zn, FLOAT zf);

// (v, 1) x M, divided by the resulting w unless w is 1 within 2^-23.
D3DXVECTOR3* WINAPI D3DXVec3TransformCoord(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m);
// v scaled to unit length; a vector whose squared length is 1 within 2^-23 is returned as it
// is, one whose squared length is below the smallest normal float becomes (0, 0, 0).
D3DXVECTOR3* WINAPI D3DXVec3Normalize(D3DXVECTOR3* out, const D3DXVECTOR3* v);
D3DXVECTOR3* WINAPI D3DXVec3Cross(D3DXVECTOR3* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b);
D3DXVECTOR3* WINAPI D3DXVec3Subtract(D3DXVECTOR3* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b);
FLOAT WINAPI D3DXVec3Dot(const D3DXVECTOR3* a, const D3DXVECTOR3* b);
FLOAT WINAPI D3DXVec3Length(const D3DXVECTOR3* v);
}
