// Flexible vertex formats: where each element lies.
#include <gtest/gtest.h>

#include "format.h"

namespace {

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
