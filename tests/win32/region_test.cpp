#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <memory>

#include "region_bytes.h"

namespace {

// An outline shaped like the program's: a band of one piece, a band with a hole (two
// pieces), then a wide band.
std::vector<RECT> outline() { return {{10, 5, 30, 6}, {8, 6, 12, 8}, {20, 6, 32, 8}, {4, 8, 40, 15}}; }

TEST(ExtCreateRegion, AcceptsBandedRectangles) {
  HRGN region = makeRegion(RegionBytes::of(outline()).bytes());
  ASSERT_NE(region, nullptr);
  RECT box{};
  EXPECT_EQ(GetRgnBox(region, &box), COMPLEXREGION);
  EXPECT_EQ(box.left, 4);
  EXPECT_EQ(box.top, 5);
  EXPECT_EQ(box.right, 40);
  EXPECT_EQ(box.bottom, 15);
  EXPECT_TRUE(DeleteObject(region));
  EXPECT_FALSE(DeleteObject(region));
  EXPECT_EQ(GetRgnBox(region, &box), ERROR);
}

TEST(ExtCreateRegion, RejectsHeaderDisagreements) {
  const RegionBytes good = RegionBytes::of(outline());
  auto variant = [&](auto change) {
    RegionBytes r = good;
    change(r);
    return makeRegion(r.bytes());
  };
  EXPECT_EQ(variant([](RegionBytes& r) { r.headerSize = 36; }), nullptr);
  EXPECT_EQ(variant([](RegionBytes& r) { r.type = 2; }), nullptr);
  EXPECT_EQ(variant([](RegionBytes& r) { r.count = 3; }), nullptr);        // count says fewer
  EXPECT_EQ(variant([](RegionBytes& r) { r.arraySize += 16; }), nullptr);  // size says more
  EXPECT_EQ(variant([](RegionBytes& r) {
              r.count = 0x10000001;
              r.arraySize = 16;
            }),
            nullptr);                                                       // 32-bit wrap
  EXPECT_EQ(variant([](RegionBytes& r) { r.bound.right += 1; }), nullptr);  // bound larger than union
  EXPECT_EQ(variant([](RegionBytes& r) { r.bound.top += 1; }), nullptr);    // rectangle outside bound
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(ExtCreateRegion, RejectsBadRectangles) {
  auto with = [](std::vector<RECT> rects) { return makeRegion(RegionBytes::of(std::move(rects)).bytes()); };
  EXPECT_EQ(with({{10, 5, 10, 6}}), nullptr);                  // empty
  EXPECT_EQ(with({{10, 6, 12, 5}}), nullptr);                  // upside down
  EXPECT_EQ(with({{4, 8, 40, 15}, {10, 5, 30, 6}}), nullptr);  // bands out of order
  EXPECT_EQ(with({{20, 6, 32, 8}, {8, 6, 12, 8}}), nullptr);   // band out of order
  EXPECT_EQ(with({{8, 6, 22, 8}, {20, 6, 32, 8}}), nullptr);   // overlap in a band
  EXPECT_EQ(with({{8, 6, 12, 8}, {20, 6, 32, 9}}), nullptr);   // ragged band
  EXPECT_EQ(with({{8, 6, 12, 10}, {2, 8, 4, 12}}), nullptr);   // bands overlap
}

TEST(ExtCreateRegion, TruncatedDataIsRejectedWithoutOverread) {
  const std::vector<unsigned char> bytes = RegionBytes::of(outline()).bytes();
  for (size_t size = 0; size < bytes.size(); ++size) {
    // An exact-size heap copy lets the address sanitizer catch any read past the end.
    auto copy = std::make_unique<unsigned char[]>(size ? size : 1);
    std::memcpy(copy.get(), bytes.data(), size);
    EXPECT_EQ(ExtCreateRegion(nullptr, static_cast<DWORD>(size), reinterpret_cast<const RGNDATA*>(copy.get())), nullptr)
        << size;
  }
  EXPECT_EQ(ExtCreateRegion(nullptr, 1000, nullptr), nullptr);
  XFORM identity{1, 0, 0, 1, 0, 0};
  EXPECT_EQ(
      ExtCreateRegion(&identity, static_cast<DWORD>(bytes.size()), reinterpret_cast<const RGNDATA*>(bytes.data())),
      nullptr);
}

TEST(ExtCreateRegion, EmptyListIsANullRegion) {
  HRGN region = makeRegion(RegionBytes::of({}).bytes());
  ASSERT_NE(region, nullptr);
  RECT box{1, 1, 1, 1};
  EXPECT_EQ(GetRgnBox(region, &box), NULLREGION);
  EXPECT_FALSE(PtInRegion(region, 0, 0));
  DeleteObject(region);
}

TEST(PtInRegion, EdgesAndHoles) {
  HRGN region = makeRegion(RegionBytes::of(outline()).bytes());
  ASSERT_NE(region, nullptr);
  EXPECT_TRUE(PtInRegion(region, 10, 5));   // top-left corner is inside
  EXPECT_FALSE(PtInRegion(region, 30, 5));  // right edge is exclusive
  EXPECT_TRUE(PtInRegion(region, 29, 5));
  EXPECT_FALSE(PtInRegion(region, 15, 7));  // the hole
  EXPECT_TRUE(PtInRegion(region, 31, 7));
  EXPECT_TRUE(PtInRegion(region, 4, 14));
  EXPECT_FALSE(PtInRegion(region, 4, 15));  // bottom edge is exclusive
  EXPECT_FALSE(PtInRegion(region, 3, 10));
  EXPECT_FALSE(PtInRegion(nullptr, 4, 10));
  DeleteObject(region);
}

}  // namespace
