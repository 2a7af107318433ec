// Keyboard translation: SDL scancodes to virtual keys and the message and lParam the real
// system would post for a key transition.
#pragma once

#include <windows.h>

#include <optional>

namespace win32 {

struct KeyInfo {
  BYTE vk;
  BYTE scanCode;  // PC scan code set 1, as Windows reports it in lParam
  bool extended;
};

std::optional<KeyInfo> keyFromScancode(int sdlScancode);

struct KeyModifiers {
  bool alt = false;      // an Alt key is down (after this transition)
  bool control = false;  // a Control key is down
};

struct KeyMessage {
  UINT message;
  LPARAM lParam;
};

// WM_SYSKEYDOWN/UP for F10, for Alt itself and for any key while Alt (without Control)
// is down; WM_KEYDOWN/UP otherwise. lParam packs repeat count 1, scan code, extended flag,
// context (Alt) bit, previous state and transition bit.
KeyMessage makeKeyMessage(const KeyInfo& key, bool down, bool repeat, KeyModifiers modifiers);

// The character TranslateMessage makes of a key press, 0 for none.
char characterForKey(BYTE vk, bool shift, bool capsLock, bool control);

}  // namespace win32
