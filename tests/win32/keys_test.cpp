#include <gtest/gtest.h>

#include <SDL.h>

#include "keys.h"

namespace {

using win32::keyFromScancode;
using win32::KeyModifiers;
using win32::makeKeyMessage;

constexpr LPARAM kContext = 1 << 29;

TEST(KeyTranslation, OrdinaryKeysAreKeyDown) {
  const auto shift = keyFromScancode(SDL_SCANCODE_LSHIFT);
  EXPECT_EQ(shift.vk, VK_SHIFT);
  const auto down = makeKeyMessage(shift, true, false, {});
  EXPECT_EQ(down.message, static_cast<UINT>(WM_KEYDOWN));
  EXPECT_EQ(down.lParam, 0x002A0001);  // repeat 1, scan code 0x2A
  const auto up = makeKeyMessage(shift, false, false, {});
  EXPECT_EQ(up.message, static_cast<UINT>(WM_KEYUP));
  EXPECT_EQ(static_cast<DWORD>(up.lParam), 0xC02A0001u);

  const auto left = keyFromScancode(SDL_SCANCODE_LEFT);
  EXPECT_EQ(left.vk, VK_LEFT);
  EXPECT_EQ(makeKeyMessage(left, true, false, {}).lParam, 0x014B0001);  // extended key
  EXPECT_EQ(keyFromScancode(SDL_SCANCODE_Q).vk, 'Q');
  EXPECT_EQ(keyFromScancode(SDL_SCANCODE_0).vk, '0');
  EXPECT_EQ(keyFromScancode(SDL_SCANCODE_F4).vk, VK_F4);
  EXPECT_EQ(makeKeyMessage(keyFromScancode(SDL_SCANCODE_F4), true, false, {}).message, static_cast<UINT>(WM_KEYDOWN));
  // Repeats carry the previous-state bit.
  EXPECT_EQ(makeKeyMessage(left, true, true, {}).lParam & (1 << 30), 1 << 30);
}

TEST(KeyTranslation, AltAndF10AreSystemKeys) {
  const KeyModifiers alt{true, false};
  const auto menu = keyFromScancode(SDL_SCANCODE_LALT);
  EXPECT_EQ(menu.vk, VK_MENU);
  const auto altDown = makeKeyMessage(menu, true, false, alt);
  EXPECT_EQ(altDown.message, static_cast<UINT>(WM_SYSKEYDOWN));
  EXPECT_EQ(altDown.lParam, 0x20380001);
  // Releasing Alt is a system key-up without the context bit.
  const auto altUp = makeKeyMessage(menu, false, false, {});
  EXPECT_EQ(altUp.message, static_cast<UINT>(WM_SYSKEYUP));
  EXPECT_EQ(static_cast<DWORD>(altUp.lParam), 0xC0380001u);

  const auto f4 = keyFromScancode(SDL_SCANCODE_F4);
  const auto altF4 = makeKeyMessage(f4, true, false, alt);
  EXPECT_EQ(altF4.message, static_cast<UINT>(WM_SYSKEYDOWN));
  EXPECT_EQ(altF4.lParam & kContext, kContext);
  EXPECT_EQ(makeKeyMessage(f4, false, false, alt).message, static_cast<UINT>(WM_SYSKEYUP));

  const auto f10 = keyFromScancode(SDL_SCANCODE_F10);
  const auto f10Down = makeKeyMessage(f10, true, false, {});
  EXPECT_EQ(f10Down.message, static_cast<UINT>(WM_SYSKEYDOWN));
  EXPECT_EQ(f10Down.lParam & kContext, 0);
  EXPECT_EQ(makeKeyMessage(f10, false, false, {}).message, static_cast<UINT>(WM_SYSKEYUP));

  // Control+Alt combinations are ordinary keys.
  EXPECT_EQ(makeKeyMessage(keyFromScancode(SDL_SCANCODE_A), true, false, {true, true}).message,
            static_cast<UINT>(WM_KEYDOWN));
}

// Keys beyond the ordinary ones still quit the program: each has a message of its own.
TEST(KeyTranslation, EveryKeyHasAVirtualKey) {
  EXPECT_EQ(keyFromScancode(SDL_SCANCODE_KP_EQUALS).vk, VK_OEM_NEC_EQUAL);
  EXPECT_EQ(keyFromScancode(SDL_SCANCODE_F13).vk, VK_F13);
  EXPECT_EQ(keyFromScancode(SDL_SCANCODE_F24).vk, VK_F24);
  EXPECT_EQ(keyFromScancode(SDL_SCANCODE_AUDIOPLAY).vk, VK_MEDIA_PLAY_PAUSE);
  EXPECT_EQ(keyFromScancode(SDL_SCANCODE_VOLUMEUP).vk, VK_VOLUME_UP);
  EXPECT_EQ(keyFromScancode(SDL_SCANCODE_LANG1).vk, VK_HANGUL);
  EXPECT_EQ(keyFromScancode(SDL_SCANCODE_INTERNATIONAL4).vk, VK_CONVERT);
  // A key without a virtual key of its own: 0xFF and scan code 0, as the real system does.
  const auto unknown = keyFromScancode(SDL_SCANCODE_LANG9);
  EXPECT_EQ(unknown.vk, 0xFF);
  EXPECT_EQ(unknown.scanCode, 0);
  EXPECT_EQ(makeKeyMessage(unknown, true, false, {}).message, static_cast<UINT>(WM_KEYDOWN));
  // Keys only the X server knows (F13 on a spare key code).
  EXPECT_EQ(win32::keyFromKeysym(0xFFCA).vk, VK_F13);
  EXPECT_EQ(win32::keyFromKeysym(0xFFD5).vk, VK_F24);
  EXPECT_EQ(win32::keyFromKeysym(0xFF2D).vk, 0xFF);  // Kana_Lock
  EXPECT_TRUE(win32::isAltGrKeysym(0xFE03));
  EXPECT_FALSE(win32::isAltGrKeysym(0xFFEA));  // Alt_R
}

TEST(KeyTranslation, Characters) {
  EXPECT_EQ(win32::characterForKey('A', false, false, false), 'a');
  EXPECT_EQ(win32::characterForKey('A', true, false, false), 'A');
  EXPECT_EQ(win32::characterForKey('A', true, true, false), 'a');
  EXPECT_EQ(win32::characterForKey('C', false, false, true), 3);
  EXPECT_EQ(win32::characterForKey('1', true, false, false), '!');
  EXPECT_EQ(win32::characterForKey(VK_SHIFT, false, false, false), 0);
  EXPECT_EQ(win32::characterForKey(VK_LEFT, false, false, false), 0);
}

}  // namespace
