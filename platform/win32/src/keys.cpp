#include "keys.h"

#include <SDL.h>

namespace win32 {
namespace {

struct KeyEntry {
  SDL_Scancode scancode;
  KeyInfo info;
};

constexpr KeyEntry kKeys[] = {
    {SDL_SCANCODE_A, {'A', 0x1E, false}},
    {SDL_SCANCODE_B, {'B', 0x30, false}},
    {SDL_SCANCODE_C, {'C', 0x2E, false}},
    {SDL_SCANCODE_D, {'D', 0x20, false}},
    {SDL_SCANCODE_E, {'E', 0x12, false}},
    {SDL_SCANCODE_F, {'F', 0x21, false}},
    {SDL_SCANCODE_G, {'G', 0x22, false}},
    {SDL_SCANCODE_H, {'H', 0x23, false}},
    {SDL_SCANCODE_I, {'I', 0x17, false}},
    {SDL_SCANCODE_J, {'J', 0x24, false}},
    {SDL_SCANCODE_K, {'K', 0x25, false}},
    {SDL_SCANCODE_L, {'L', 0x26, false}},
    {SDL_SCANCODE_M, {'M', 0x32, false}},
    {SDL_SCANCODE_N, {'N', 0x31, false}},
    {SDL_SCANCODE_O, {'O', 0x18, false}},
    {SDL_SCANCODE_P, {'P', 0x19, false}},
    {SDL_SCANCODE_Q, {'Q', 0x10, false}},
    {SDL_SCANCODE_R, {'R', 0x13, false}},
    {SDL_SCANCODE_S, {'S', 0x1F, false}},
    {SDL_SCANCODE_T, {'T', 0x14, false}},
    {SDL_SCANCODE_U, {'U', 0x16, false}},
    {SDL_SCANCODE_V, {'V', 0x2F, false}},
    {SDL_SCANCODE_W, {'W', 0x11, false}},
    {SDL_SCANCODE_X, {'X', 0x2D, false}},
    {SDL_SCANCODE_Y, {'Y', 0x15, false}},
    {SDL_SCANCODE_Z, {'Z', 0x2C, false}},
    {SDL_SCANCODE_1, {'1', 0x02, false}},
    {SDL_SCANCODE_2, {'2', 0x03, false}},
    {SDL_SCANCODE_3, {'3', 0x04, false}},
    {SDL_SCANCODE_4, {'4', 0x05, false}},
    {SDL_SCANCODE_5, {'5', 0x06, false}},
    {SDL_SCANCODE_6, {'6', 0x07, false}},
    {SDL_SCANCODE_7, {'7', 0x08, false}},
    {SDL_SCANCODE_8, {'8', 0x09, false}},
    {SDL_SCANCODE_9, {'9', 0x0A, false}},
    {SDL_SCANCODE_0, {'0', 0x0B, false}},
    {SDL_SCANCODE_RETURN, {VK_RETURN, 0x1C, false}},
    {SDL_SCANCODE_ESCAPE, {VK_ESCAPE, 0x01, false}},
    {SDL_SCANCODE_BACKSPACE, {VK_BACK, 0x0E, false}},
    {SDL_SCANCODE_TAB, {VK_TAB, 0x0F, false}},
    {SDL_SCANCODE_SPACE, {VK_SPACE, 0x39, false}},
    {SDL_SCANCODE_MINUS, {VK_OEM_MINUS, 0x0C, false}},
    {SDL_SCANCODE_EQUALS, {VK_OEM_PLUS, 0x0D, false}},
    {SDL_SCANCODE_LEFTBRACKET, {VK_OEM_4, 0x1A, false}},
    {SDL_SCANCODE_RIGHTBRACKET, {VK_OEM_6, 0x1B, false}},
    {SDL_SCANCODE_BACKSLASH, {VK_OEM_5, 0x2B, false}},
    {SDL_SCANCODE_SEMICOLON, {VK_OEM_1, 0x27, false}},
    {SDL_SCANCODE_APOSTROPHE, {VK_OEM_7, 0x28, false}},
    {SDL_SCANCODE_GRAVE, {VK_OEM_3, 0x29, false}},
    {SDL_SCANCODE_COMMA, {VK_OEM_COMMA, 0x33, false}},
    {SDL_SCANCODE_PERIOD, {VK_OEM_PERIOD, 0x34, false}},
    {SDL_SCANCODE_SLASH, {VK_OEM_2, 0x35, false}},
    {SDL_SCANCODE_CAPSLOCK, {VK_CAPITAL, 0x3A, false}},
    {SDL_SCANCODE_F1, {VK_F1, 0x3B, false}},
    {SDL_SCANCODE_F2, {VK_F1 + 1, 0x3C, false}},
    {SDL_SCANCODE_F3, {VK_F1 + 2, 0x3D, false}},
    {SDL_SCANCODE_F4, {VK_F4, 0x3E, false}},
    {SDL_SCANCODE_F5, {VK_F1 + 4, 0x3F, false}},
    {SDL_SCANCODE_F6, {VK_F1 + 5, 0x40, false}},
    {SDL_SCANCODE_F7, {VK_F1 + 6, 0x41, false}},
    {SDL_SCANCODE_F8, {VK_F1 + 7, 0x42, false}},
    {SDL_SCANCODE_F9, {VK_F1 + 8, 0x43, false}},
    {SDL_SCANCODE_F10, {VK_F10, 0x44, false}},
    {SDL_SCANCODE_F11, {VK_F1 + 10, 0x57, false}},
    {SDL_SCANCODE_F12, {VK_F12, 0x58, false}},
    {SDL_SCANCODE_PRINTSCREEN, {VK_SNAPSHOT, 0x37, true}},
    {SDL_SCANCODE_SCROLLLOCK, {VK_SCROLL, 0x46, false}},
    {SDL_SCANCODE_PAUSE, {VK_PAUSE, 0x45, false}},
    {SDL_SCANCODE_INSERT, {VK_INSERT, 0x52, true}},
    {SDL_SCANCODE_HOME, {VK_HOME, 0x47, true}},
    {SDL_SCANCODE_PAGEUP, {VK_PRIOR, 0x49, true}},
    {SDL_SCANCODE_DELETE, {VK_DELETE, 0x53, true}},
    {SDL_SCANCODE_END, {VK_END, 0x4F, true}},
    {SDL_SCANCODE_PAGEDOWN, {VK_NEXT, 0x51, true}},
    {SDL_SCANCODE_RIGHT, {VK_RIGHT, 0x4D, true}},
    {SDL_SCANCODE_LEFT, {VK_LEFT, 0x4B, true}},
    {SDL_SCANCODE_DOWN, {VK_DOWN, 0x50, true}},
    {SDL_SCANCODE_UP, {VK_UP, 0x48, true}},
    {SDL_SCANCODE_NUMLOCKCLEAR, {VK_NUMLOCK, 0x45, true}},
    {SDL_SCANCODE_KP_DIVIDE, {VK_DIVIDE, 0x35, true}},
    {SDL_SCANCODE_KP_MULTIPLY, {VK_MULTIPLY, 0x37, false}},
    {SDL_SCANCODE_KP_MINUS, {VK_SUBTRACT, 0x4A, false}},
    {SDL_SCANCODE_KP_PLUS, {VK_ADD, 0x4E, false}},
    {SDL_SCANCODE_KP_ENTER, {VK_RETURN, 0x1C, true}},
    {SDL_SCANCODE_KP_1, {VK_NUMPAD0 + 1, 0x4F, false}},
    {SDL_SCANCODE_KP_2, {VK_NUMPAD0 + 2, 0x50, false}},
    {SDL_SCANCODE_KP_3, {VK_NUMPAD0 + 3, 0x51, false}},
    {SDL_SCANCODE_KP_4, {VK_NUMPAD0 + 4, 0x4B, false}},
    {SDL_SCANCODE_KP_5, {VK_NUMPAD0 + 5, 0x4C, false}},
    {SDL_SCANCODE_KP_6, {VK_NUMPAD0 + 6, 0x4D, false}},
    {SDL_SCANCODE_KP_7, {VK_NUMPAD0 + 7, 0x47, false}},
    {SDL_SCANCODE_KP_8, {VK_NUMPAD0 + 8, 0x48, false}},
    {SDL_SCANCODE_KP_9, {VK_NUMPAD0 + 9, 0x49, false}},
    {SDL_SCANCODE_KP_0, {VK_NUMPAD0, 0x52, false}},
    {SDL_SCANCODE_KP_PERIOD, {VK_DECIMAL, 0x53, false}},
    {SDL_SCANCODE_NONUSBACKSLASH, {VK_OEM_102, 0x56, false}},
    {SDL_SCANCODE_APPLICATION, {VK_APPS, 0x5D, true}},
    {SDL_SCANCODE_LCTRL, {VK_CONTROL, 0x1D, false}},
    {SDL_SCANCODE_LSHIFT, {VK_SHIFT, 0x2A, false}},
    {SDL_SCANCODE_LALT, {VK_MENU, 0x38, false}},
    {SDL_SCANCODE_LGUI, {VK_LWIN, 0x5B, true}},
    {SDL_SCANCODE_RCTRL, {VK_CONTROL, 0x1D, true}},
    {SDL_SCANCODE_RSHIFT, {VK_SHIFT, 0x36, false}},
    {SDL_SCANCODE_RALT, {VK_MENU, 0x38, true}},
    {SDL_SCANCODE_RGUI, {VK_RWIN, 0x5C, true}},
    {SDL_SCANCODE_KP_EQUALS, {VK_OEM_NEC_EQUAL, 0x59, false}},
    {SDL_SCANCODE_F13, {VK_F13, 0x64, false}},
    {SDL_SCANCODE_F14, {VK_F13 + 1, 0x65, false}},
    {SDL_SCANCODE_F15, {VK_F13 + 2, 0x66, false}},
    {SDL_SCANCODE_F16, {VK_F13 + 3, 0x67, false}},
    {SDL_SCANCODE_F17, {VK_F13 + 4, 0x68, false}},
    {SDL_SCANCODE_F18, {VK_F13 + 5, 0x69, false}},
    {SDL_SCANCODE_F19, {VK_F13 + 6, 0x6A, false}},
    {SDL_SCANCODE_F20, {VK_F13 + 7, 0x6B, false}},
    {SDL_SCANCODE_F21, {VK_F13 + 8, 0x6C, false}},
    {SDL_SCANCODE_F22, {VK_F13 + 9, 0x6D, false}},
    {SDL_SCANCODE_F23, {VK_F13 + 10, 0x6E, false}},
    {SDL_SCANCODE_F24, {VK_F24, 0x76, false}},
    {SDL_SCANCODE_MUTE, {VK_VOLUME_MUTE, 0x20, true}},
    {SDL_SCANCODE_AUDIOMUTE, {VK_VOLUME_MUTE, 0x20, true}},
    {SDL_SCANCODE_VOLUMEDOWN, {VK_VOLUME_DOWN, 0x2E, true}},
    {SDL_SCANCODE_VOLUMEUP, {VK_VOLUME_UP, 0x30, true}},
    {SDL_SCANCODE_AUDIONEXT, {VK_MEDIA_NEXT_TRACK, 0x19, true}},
    {SDL_SCANCODE_AUDIOPREV, {VK_MEDIA_PREV_TRACK, 0x10, true}},
    {SDL_SCANCODE_AUDIOSTOP, {VK_MEDIA_STOP, 0x24, true}},
    {SDL_SCANCODE_AUDIOPLAY, {VK_MEDIA_PLAY_PAUSE, 0x22, true}},
    {SDL_SCANCODE_MEDIASELECT, {VK_LAUNCH_MEDIA_SELECT, 0x6D, true}},
    {SDL_SCANCODE_MAIL, {VK_LAUNCH_MAIL, 0x6C, true}},
    {SDL_SCANCODE_COMPUTER, {VK_LAUNCH_APP1, 0x6B, true}},
    {SDL_SCANCODE_CALCULATOR, {VK_LAUNCH_APP2, 0x21, true}},
    {SDL_SCANCODE_AC_SEARCH, {VK_BROWSER_SEARCH, 0x65, true}},
    {SDL_SCANCODE_AC_HOME, {VK_BROWSER_HOME, 0x32, true}},
    {SDL_SCANCODE_AC_BACK, {VK_BROWSER_BACK, 0x6A, true}},
    {SDL_SCANCODE_AC_FORWARD, {VK_BROWSER_FORWARD, 0x69, true}},
    {SDL_SCANCODE_AC_STOP, {VK_BROWSER_STOP, 0x68, true}},
    {SDL_SCANCODE_AC_REFRESH, {VK_BROWSER_REFRESH, 0x67, true}},
    {SDL_SCANCODE_AC_BOOKMARKS, {VK_BROWSER_FAVORITES, 0x66, true}},
    {SDL_SCANCODE_SLEEP, {VK_SLEEP, 0x5F, true}},
    // Japanese and Korean keys: ro, katakana/hiragana, yen, henkan, muhenkan, hangul, hanja.
    {SDL_SCANCODE_INTERNATIONAL1, {VK_OEM_102, 0x73, false}},
    {SDL_SCANCODE_INTERNATIONAL2, {VK_KANA, 0x70, false}},
    {SDL_SCANCODE_INTERNATIONAL3, {VK_OEM_5, 0x7D, false}},
    {SDL_SCANCODE_INTERNATIONAL4, {VK_CONVERT, 0x79, false}},
    {SDL_SCANCODE_INTERNATIONAL5, {VK_NONCONVERT, 0x7B, false}},
    {SDL_SCANCODE_LANG1, {VK_HANGUL, 0x72, false}},
    {SDL_SCANCODE_LANG2, {VK_HANJA, 0x71, false}},
};

// X keysyms that matter for keys SDL does not report itself.
constexpr unsigned long kKeysymF13 = 0xFFCA;
constexpr unsigned long kKeysymF24 = 0xFFD5;
constexpr unsigned long kKeysymIsoLevel3Shift = 0xFE03;
constexpr unsigned long kKeysymModeSwitch = 0xFF7E;

}  // namespace

KeyInfo keyFromScancode(int sdlScancode) {
  for (const KeyEntry& entry : kKeys)
    if (entry.scancode == sdlScancode) return entry.info;
  return kUnmappedKey;
}

KeyInfo keyFromKeysym(unsigned long keysym) {
  if (keysym >= kKeysymF13 && keysym <= kKeysymF24)
    return {static_cast<BYTE>(VK_F13 + (keysym - kKeysymF13)), 0, false};
  return kUnmappedKey;
}

bool isAltGrKeysym(unsigned long keysym) { return keysym == kKeysymIsoLevel3Shift || keysym == kKeysymModeSwitch; }

KeyMessage makeKeyMessage(const KeyInfo& key, bool down, bool repeat, KeyModifiers modifiers) {
  // Releasing Alt itself is still a system key-up, although Alt is no longer down.
  const bool altKey = key.vk == VK_MENU;
  const bool system = key.vk == VK_F10 || ((modifiers.alt || (altKey && !down)) && !modifiers.control);
  const bool context = system && modifiers.alt;
  DWORD bits = 1u | (DWORD{key.scanCode} << 16);
  if (key.extended) bits |= 1u << 24;
  if (context) bits |= 1u << 29;
  if (!down || repeat) bits |= 1u << 30;
  if (!down) bits |= 1u << 31;
  UINT message = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
  return {message, static_cast<LPARAM>(bits)};
}

char characterForKey(BYTE vk, bool shift, bool capsLock, bool control) {
  if (vk >= 'A' && vk <= 'Z') {
    if (control) return static_cast<char>(vk - 'A' + 1);
    return (shift != capsLock) ? static_cast<char>(vk) : static_cast<char>(vk - 'A' + 'a');
  }
  if (vk >= '0' && vk <= '9') {
    static constexpr char kShiftedDigits[] = ")!@#$%^&*(";
    return shift ? kShiftedDigits[vk - '0'] : static_cast<char>(vk);
  }
  switch (vk) {
    case VK_SPACE:
      return ' ';
    case VK_RETURN:
      return '\r';
    case VK_ESCAPE:
      return 0x1B;
    case VK_BACK:
      return 0x08;
    case VK_TAB:
      return '\t';
    default:
      return 0;
  }
}

}  // namespace win32
