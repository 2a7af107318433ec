// The block codec against the DXT definitions: 5:6:5 end points widened by bit replication,
// thirds (or halves in DXT1's three-colour mode), 4-bit explicit alpha and 3-bit
// interpolated alpha; the encoder's blocks decode back close to what went in.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <vector>

#include "dxt_codec.h"

namespace {

std::vector<uint32_t> decode(D3DFORMAT format, const std::vector<uint8_t>& blocks, uint32_t w, uint32_t h) {
  std::vector<uint32_t> pixels(static_cast<size_t>(w) * h, 0xDEADBEEFu);
  dxt::decode(format, blocks, w, h, pixels);
  return pixels;
}

// A colour block: end points red (0xF800) and blue (0x001F) in the given order, texel i
// using index i % 4.
std::array<uint8_t, 8> colourBlock(uint16_t c0, uint16_t c1) {
  return {static_cast<uint8_t>(c0),
          static_cast<uint8_t>(c0 >> 8),
          static_cast<uint8_t>(c1),
          static_cast<uint8_t>(c1 >> 8),
          0xE4,
          0xE4,
          0xE4,
          0xE4};  // 0b11100100: indices 0,1,2,3 per row
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

// A picture that does not fill whole blocks: a diagonal ramp in each channel.
std::vector<uint32_t> ramp(uint32_t w, uint32_t h, bool withAlpha) {
  std::vector<uint32_t> pixels(static_cast<size_t>(w) * h);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) {
      const uint32_t a = withAlpha ? (x * 255 / (w - 1)) : 255;
      pixels[y * w + x] = (a << 24) | ((x * 8 & 255) << 16) | ((y * 8 & 255) << 8) | ((x + y) * 4 & 255);
    }
  return pixels;
}

int channelError(uint32_t a, uint32_t b, int shift) {
  return std::abs(static_cast<int>((a >> shift) & 255) - static_cast<int>((b >> shift) & 255));
}

TEST(EncodeDxt, BlocksDecodeBackWithinTheirEndPointError) {
  const uint32_t w = 13, h = 7;  // partial blocks at the right and bottom edges
  for (D3DFORMAT format : {D3DFMT_DXT1, D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5}) {
    SCOPED_TRACE(format);
    const auto source = ramp(w, h, format != D3DFMT_DXT1);
    std::vector<uint8_t> blocks(dxt::levelBytes(format, w, h), 0xCD);
    ASSERT_EQ(blocks.size(), 4u * 2 * dxt::blockBytes(format));
    dxt::encode(format, source, w, h, blocks);
    const auto decoded = decode(format, blocks, w, h);
    const bool premultiplied = format == D3DFMT_DXT2 || format == D3DFMT_DXT4;
    for (size_t i = 0; i < source.size(); ++i) {
      // A block spans at most 24 steps per channel; colours off the box's diagonal, 5/6-bit
      // end points and rounding stay within 16 (premultiplied colours of faint texels lose
      // more when divided out again).
      if (!premultiplied || (source[i] >> 24) >= 128) {
        for (int shift : {16, 8, 0})
          ASSERT_LE(channelError(source[i], decoded[i], shift), premultiplied ? 20 : 16) << i;
      }
      const int alphaTolerance = format == D3DFMT_DXT1 ? 0 : format == D3DFMT_DXT2 || format == D3DFMT_DXT3 ? 8 : 10;
      ASSERT_LE(channelError(source[i], decoded[i], 24), alphaTolerance) << i;
    }
  }
}

TEST(EncodeDxt, SolidColoursAndTransparencySurviveExactly) {
  // Colours that 5:6:5 holds exactly (8, 251, 16) come back unchanged, in both DXT1 modes.
  std::vector<uint32_t> pixels(16, 0xFF08FB10u);
  pixels[5] = 0x00000000u;
  std::vector<uint8_t> block(8);
  dxt::encode(D3DFMT_DXT1, pixels, 4, 4, block);
  auto decoded = decode(D3DFMT_DXT1, block, 4, 4);
  EXPECT_EQ(decoded[0], 0xFF08FB10u);
  EXPECT_EQ(decoded[5], 0x00000000u);  // three-colour mode, index 3
  pixels[5] = 0xFF08FB10u;
  dxt::encode(D3DFMT_DXT1, pixels, 4, 4, block);
  decoded = decode(D3DFMT_DXT1, block, 4, 4);
  for (uint32_t p : decoded) EXPECT_EQ(p, 0xFF08FB10u);

  // Alpha end points are stored exactly.
  std::vector<uint32_t> alphas(16, 0x80FFFFFFu);
  alphas[0] = 0x00FFFFFFu;
  alphas[15] = 0xFFFFFFFFu;
  std::vector<uint8_t> dxt5(16);
  dxt::encode(D3DFMT_DXT5, alphas, 4, 4, dxt5);
  decoded = decode(D3DFMT_DXT5, dxt5, 4, 4);
  EXPECT_EQ(decoded[0] >> 24, 0u);
  EXPECT_EQ(decoded[15] >> 24, 255u);
  EXPECT_NEAR(static_cast<double>(decoded[7] >> 24), 128.0, 19.0);
}

TEST(EncodeDxt, ShortOutputIsLeftAlone) {
  const auto source = ramp(8, 8, false);
  std::vector<uint8_t> blocks(dxt::levelBytes(D3DFMT_DXT1, 8, 8) - 1, 0xCD);
  dxt::encode(D3DFMT_DXT1, source, 8, 8, blocks);
  for (uint8_t b : blocks) ASSERT_EQ(b, 0xCD);
  EXPECT_EQ(dxt::blockBytes(D3DFMT_A8R8G8B8), 0u);
}

}  // namespace
