#include <d3dx9core.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "d3dx_com.h"

TEST(D3DXCreateBuffer, GivesZeroedBytesWithOneReference) {
  LPD3DXBUFFER buffer = nullptr;
  ASSERT_EQ(D3DXCreateBuffer(37, &buffer), S_OK);
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(buffer->GetBufferSize(), 37u);
  const auto* bytes = static_cast<const BYTE*>(buffer->GetBufferPointer());
  EXPECT_TRUE(std::all_of(bytes, bytes + 37, [](BYTE b) { return b == 0; }));

  void* same = nullptr;
  EXPECT_EQ(buffer->QueryInterface(IID_ID3DXBuffer, &same), S_OK);
  EXPECT_EQ(same, buffer);
  const IID unrelated = {0x12345678, 0x1, 0x2, {3, 4, 5, 6, 7, 8, 9, 10}};
  void* other = &same;
  EXPECT_EQ(buffer->QueryInterface(unrelated, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(buffer->Release(), 1u);
  EXPECT_EQ(buffer->Release(), 0u);
}

TEST(D3DXCreateBuffer, EmptyBufferAndMissingOutPointer) {
  EXPECT_EQ(D3DXCreateBuffer(4, nullptr), D3DERR_INVALIDCALL);
  LPD3DXBUFFER buffer = nullptr;
  ASSERT_EQ(D3DXCreateBuffer(0, &buffer), S_OK);
  EXPECT_EQ(buffer->GetBufferSize(), 0u);
  EXPECT_NE(buffer->GetBufferPointer(), nullptr);
  buffer->Release();
}

TEST(ComPtr, HoldsExactlyOneReference) {
  LPD3DXBUFFER raw = nullptr;
  ASSERT_EQ(D3DXCreateBuffer(1, &raw), S_OK);
  {
    auto owner = d3dx::ComPtr<ID3DXBuffer>::adopting(raw);
    d3dx::ComPtr<ID3DXBuffer> copy = owner;
    raw->AddRef();
    EXPECT_EQ(raw->Release(), 2u);  // owner + copy
    d3dx::ComPtr<ID3DXBuffer> moved = std::move(copy);
    EXPECT_FALSE(copy);
    copy = moved;  // copy-assign adds one back
    raw->AddRef();
    EXPECT_EQ(raw->Release(), 3u);
    ID3DXBuffer* given = moved.detach();
    EXPECT_EQ(given, raw);
    given->Release();
  }
  // owner and copy released theirs; the object is gone (checked by the sanitizer build).
}
