// Keyboard translation: SDL scancodes to virtual keys and the message and lParam the real
// system would post for a key transition.
#pragma once

#include <windows.h>

namespace win32 {

struct KeyInfo {
  BYTE vk;
  BYTE scanCode;  // PC scan code set 1, as Windows reports it in lParam; 0 when unknown
  bool extended;
};

// A key with no virtual-key code of its own, reported as the real system reports such keys.
inline constexpr KeyInfo kUnmappedKey{0xFF, 0, false};

// The virtual key and scan code of an SDL scancode; kUnmappedKey for keys without one.
KeyInfo keyFromScancode(int sdlScancode);
// The best virtual key for an X keysym of a key that SDL does not know (F13 to F24 mapped
// onto spare key codes, say); scan code 0.
KeyInfo keyFromKeysym(unsigned long keysym);
// Whether the keysym is AltGr (ISO_Level3_Shift or Mode_switch), which the real system
// reports as Control plus Alt.
bool isAltGrKeysym(unsigned long keysym);

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
