// A table built from data/test_script.rc with OMIT IDR_BLOB 126 train_cabs.x: a macro, an
// identifier (an icon group, whose images go too) and a string name.
#include <gtest/gtest.h>

#include <win32_layer.h>

namespace {

bool present(LPCSTR name, LPCSTR type) { return FindResourceA(nullptr, name, type) != nullptr; }

TEST(OmittedResources, AreAbsentWhileTheOthersRemain) {
  EXPECT_FALSE(present(MAKEINTRESOURCEA(101), "BINARY"));
  EXPECT_FALSE(present("TRAIN_CABS.X", "X"));
  EXPECT_FALSE(present(MAKEINTRESOURCEA(126), RT_GROUP_ICON));
  for (int id = 1; id <= 3; ++id) EXPECT_FALSE(present(MAKEINTRESOURCEA(id), RT_ICON)) << id;

  EXPECT_TRUE(present(MAKEINTRESOURCEA(102), "BINARY"));
  EXPECT_TRUE(present("FINAL_LAYER.TGA", RT_RCDATA));
  EXPECT_TRUE(present(MAKEINTRESOURCEA(0x200), "CUSTOM TYPE"));
  EXPECT_EQ(kEmbeddedResourceCount, 4u);
}

}  // namespace
