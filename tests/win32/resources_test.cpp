#include <gtest/gtest.h>

#include <win32_layer.h>

#include <cstring>

namespace {
const unsigned char kMesh[] = "xof 0302txt 0064";
const unsigned char kOutline[] = {32, 0, 0, 0, 1, 0, 0, 0};
const unsigned char kPicture[] = {'B', 'M', 1, 2, 3};
}  // namespace

extern "C" const EmbeddedResource kEmbeddedResources[] = {
    {{"X", 0}, {"TRAIN_CABS.X", 0}, kMesh, sizeof kMesh},
    {{"BINARY", 0}, {nullptr, 102}, kOutline, sizeof kOutline},
    {{nullptr, 10}, {"WHEEL.BMP", 0}, kPicture, sizeof kPicture},
};
extern "C" const size_t kEmbeddedResourceCount = 3;

namespace {

TEST(FindResource, NamesAndTypesIgnoreCase) {
  HRSRC found = FindResourceA(nullptr, "train_cabs.x", "x");
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(FindResourceA(GetModuleHandleA(nullptr), "Train_Cabs.X", "X"), found);
  EXPECT_EQ(SizeofResource(nullptr, found), sizeof kMesh);
  HGLOBAL loaded = LoadResource(nullptr, found);
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(std::memcmp(LockResource(loaded), kMesh, sizeof kMesh), 0);
  // Every view is the same bytes, where the program holds them.
  EXPECT_EQ(LockResource(LoadResource(nullptr, FindResourceA(nullptr, "TRAIN_CABS.X", "X"))), LockResource(loaded));
  EXPECT_EQ(LockResource(loaded), static_cast<const void*>(kMesh));
}

TEST(FindResource, IntegerIdentifiers) {
  HRSRC outline = FindResourceA(nullptr, MAKEINTRESOURCEA(102), "binary");
  ASSERT_NE(outline, nullptr);
  EXPECT_EQ(SizeofResource(nullptr, outline), sizeof kOutline);
  EXPECT_EQ(FindResourceA(nullptr, "#102", "BINARY"), outline);
  EXPECT_EQ(FindResourceA(nullptr, "102", "BINARY"), nullptr);  // a string name, not the number
  EXPECT_NE(FindResourceA(nullptr, "wheel.bmp", RT_RCDATA), nullptr);
  EXPECT_NE(FindResourceA(nullptr, "wheel.bmp", "#10"), nullptr);
}

TEST(FindResource, MissesReportWhy) {
  SetLastError(0);
  EXPECT_EQ(FindResourceA(nullptr, "WHEEL.BMP", "X"), nullptr);  // exists under another type
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_EQ(FindResourceA(nullptr, "TRAIN_CABS.X", RT_RCDATA), nullptr);
  EXPECT_EQ(FindResourceA(nullptr, "TRAIN_CABS.X", "MESH"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
  EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(103), "BINARY"), nullptr);
  EXPECT_EQ(FindResourceA(reinterpret_cast<HMODULE>(static_cast<ULONG_PTR>(0x4000)), "TRAIN_CABS.X", "X"), nullptr);
  EXPECT_EQ(FindResourceA(nullptr, nullptr, "X"), nullptr);
}

TEST(LoadResource, RejectsForeignHandles) {
  HRSRC forged = reinterpret_cast<HRSRC>(const_cast<unsigned char*>(kPicture));
  EXPECT_EQ(LoadResource(nullptr, forged), nullptr);
  EXPECT_EQ(SizeofResource(nullptr, forged), 0u);
  EXPECT_EQ(LockResource(nullptr), nullptr);
}

}  // namespace
