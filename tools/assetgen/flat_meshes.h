// The flat meshes: background planes with the overlay, the credits panel and the eight lit buttons.
#pragma once

#include "mesh.h"
#include "scene_layout.h"

namespace assetgen {

// A quad facing the camera at the given view depth that covers window pixels x0..x1, y0..y1
// (inclusive) exactly, textured with the given texel rectangle of a size x size picture
// so that each pixel shows one texel.
void addScreenQuad(Mesh& mesh, const Camera& camera, const PixelRect& pixels, double depth, const PixelRect& texels,
                   int textureSize, uint32_t material);

Mesh planesMesh(const Camera& camera);
Mesh creditsMesh(const Camera& camera);
Mesh buttonMesh(const Camera& camera, size_t index);

}  // namespace assetgen
