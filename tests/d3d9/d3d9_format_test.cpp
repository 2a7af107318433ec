// Block-compressed decoding (used when OpenGL lacks S3TC) against the DXT definitions:
// 5:6:5 end points widened by bit replication, thirds (or halves in DXT1's three-colour
// mode), 4-bit explicit alpha and 3-bit interpolated alpha.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "format.h"

namespace {

using d3d9::decodeDxt;

std::vector<uint32_t> decode(D3DFORMAT format, const std::vector<uint8_t>& blocks, uint32_t w, uint32_t h) {
  std::vector<uint32_t> pixels(static_cast<size_t>(w) * h, 0xDEADBEEFu);
  decodeDxt(format, blocks, w, h, pixels);
  return pixels;
}

// A colour block: end points red (0xF800) and blue (0x001F) in the given order, texel i
// using index i % 4.
std::array<uint8_t, 8> colourBlock(uint16_t c0, uint16_t c1) {
  return {static_cast<uint8_t>(c0), static_cast<uint8_t>(c0 >> 8), static_cast<uint8_t>(c1),
          static_cast<uint8_t>(c1 >> 8), 0xE4, 0xE4, 0xE4, 0xE4};  // 0b11100100: indices 0,1,2,3 per row
}

TEST(DecodeDxt, Dxt1FourColourBlockInterpolatesThirds) {
  const auto block = colourBlock(0xF800, 0x001F);
  const auto pixels = decode(D3DFMT_DXT1, {block.begin(), block.end()}, 4, 4);
  EXPECT_EQ(pixels[0], 0xFFFF0000u);
  EXPECT_EQ(pixels[1], 0xFF0000FFu);
  EXPECT_EQ(pixels[2], 0xFFAA0055u);  // (2 * 255 + 0) / 3 = 170, (0 + 255) / 3 = 85
  EXPECT_EQ(pixels[3], 0xFF5500AAu);
  EXPECT_EQ(pixels[15], 0xFF5500AAu);
}

TEST(DecodeDxt, Dxt1ThreeColourBlockHasTransparentBlack) {
  const auto block = colourBlock(0x001F, 0xF800);  // c0 <= c1
  const auto pixels = decode(D3DFMT_DXT1, {block.begin(), block.end()}, 4, 4);
  EXPECT_EQ(pixels[0], 0xFF0000FFu);
  EXPECT_EQ(pixels[2], 0xFF7F007Fu);  // halves: 255 / 2 = 127
  EXPECT_EQ(pixels[3], 0x00000000u);
}

TEST(DecodeDxt, Dxt3ExplicitAlphaAndDxt5InterpolatedAlpha) {
  std::vector<uint8_t> dxt3(16, 0);
  dxt3[0] = 0xF0;  // texel 0 alpha 0, texel 1 alpha 15
  const auto colour = colourBlock(0xF800, 0x001F);
  std::copy(colour.begin(), colour.end(), dxt3.begin() + 8);
  auto pixels = decode(D3DFMT_DXT3, dxt3, 4, 4);
  EXPECT_EQ(pixels[0], 0x00FF0000u);
  EXPECT_EQ(pixels[1], 0xFF0000FFu);
  EXPECT_EQ(pixels[2] >> 24, 0u);

  std::vector<uint8_t> dxt5(16, 0);
  dxt5[0] = 255;
  dxt5[1] = 0;
  // Texels 0..3 use alpha indices 0, 1, 2, 7 (three bits each, little-endian).
  const uint64_t bits = 0u | (1u << 3) | (2u << 6) | (7u << 9);
  for (int i = 0; i < 6; ++i) dxt5[2 + i] = static_cast<uint8_t>(bits >> (8 * i));
  std::copy(colour.begin(), colour.end(), dxt5.begin() + 8);
  pixels = decode(D3DFMT_DXT5, dxt5, 4, 4);
  EXPECT_EQ(pixels[0] >> 24, 255u);
  EXPECT_EQ(pixels[1] >> 24, 0u);
  EXPECT_EQ(pixels[2] >> 24, (6u * 255 + 0) / 7);
  EXPECT_EQ(pixels[3] >> 24, (1u * 255 + 6 * 0) / 7);
  EXPECT_EQ(pixels[4] >> 24, 255u);  // index 0 again
}

TEST(DecodeDxt, PartialBlocksAndShortInput) {
  const auto block = colourBlock(0xF800, 0x001F);
  // A 2 x 2 level still takes a whole block; only its top-left texels land.
  auto pixels = decode(D3DFMT_DXT1, {block.begin(), block.end()}, 2, 2);
  EXPECT_EQ(pixels[0], 0xFFFF0000u);
  EXPECT_EQ(pixels[1], 0xFF0000FFu);
  EXPECT_EQ(pixels[2], 0xFFFF0000u);
  // Too few bytes for the size: nothing is written.
  pixels = decode(D3DFMT_DXT1, {block.begin(), block.begin() + 4}, 4, 4);
  EXPECT_EQ(pixels[0], 0xDEADBEEFu);
}

TEST(Fvf, LayoutOffsetsFollowTheElementOrder) {
  d3d9::FvfLayout layout;
  ASSERT_TRUE(d3d9::parseFvf(D3DFVF_XYZB3 | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1, layout));
  EXPECT_EQ(layout.weightCount, 3u);
  EXPECT_EQ(layout.normalOffset, 24);
  EXPECT_EQ(layout.diffuseOffset, 36);
  EXPECT_EQ(layout.texCoordOffset, 40);
  EXPECT_EQ(layout.size, 48u);
  EXPECT_FALSE(d3d9::parseFvf(D3DFVF_XYZRHW, layout));
  EXPECT_FALSE(d3d9::parseFvf(D3DFVF_XYZ | D3DFVF_TEX1 | D3DFVF_TEXCOORDSIZE3(0), layout));
  EXPECT_FALSE(d3d9::parseFvf(D3DFVF_XYZ | D3DFVF_LASTBETA_UBYTE4, layout));
}

}  // namespace
