#include "downloader/console/window_keys.h"

#include <GL/freeglut.h>

#include <algorithm>

#include "downloader/text/cp437.h"

#include "downloader/console/pc_scan_codes.h"

namespace pat {

namespace {

// A key without a character: its plain scan code, and the codes the PC
// keyboard types with Shift, Ctrl and Alt held (0: the plain one).
struct ScanKey {
  int glut_key;
  std::uint8_t plain, shift, ctrl, alt;
};

constexpr ScanKey scan_keys[] = {
    {GLUT_KEY_F1, 59, 84, 94, 104},     {GLUT_KEY_F2, 60, 85, 95, 105},
    {GLUT_KEY_F3, 61, 86, 96, 106},     {GLUT_KEY_F4, 62, 87, 97, 107},
    {GLUT_KEY_F5, 63, 88, 98, 108},     {GLUT_KEY_F6, 64, 89, 99, 109},
    {GLUT_KEY_F7, 65, 90, 100, 110},    {GLUT_KEY_F8, 66, 91, 101, 111},
    {GLUT_KEY_F9, 67, 92, 102, 112},    {GLUT_KEY_F10, 68, 93, 103, 113},
    {GLUT_KEY_F11, 133, 135, 137, 139}, {GLUT_KEY_F12, 134, 136, 138, 140},
    {GLUT_KEY_UP, 72, 0, 141, 152},     {GLUT_KEY_DOWN, 80, 0, 145, 160},
    {GLUT_KEY_LEFT, 75, 0, 115, 155},   {GLUT_KEY_RIGHT, 77, 0, 116, 157},
    {GLUT_KEY_HOME, 71, 0, 119, 151},   {GLUT_KEY_END, 79, 0, 117, 159},
    {GLUT_KEY_PAGE_UP, 73, 0, 132, 153}, {GLUT_KEY_PAGE_DOWN, 81, 0, 118, 161},
    {GLUT_KEY_INSERT, 82, 0, 146, 162}, {GLUT_KEY_DELETE, 83, 0, 147, 163},
    {GLUT_KEY_BEGIN, 76, 0, 143, 0},
};

const ScanKey* scan_key_of(int glut_key) {
  for (const ScanKey& key : scan_keys) {
    if (key.glut_key == glut_key) return &key;
  }
  return nullptr;
}

std::uint8_t typed_scan(const ScanKey& key, int modifiers) {
  std::uint8_t scan = 0;
  if (modifiers & GLUT_ACTIVE_ALT) {
    scan = key.alt;
  } else if (modifiers & GLUT_ACTIVE_CTRL) {
    scan = key.ctrl;
  } else if (modifiers & GLUT_ACTIVE_SHIFT) {
    scan = key.shift;
  }
  return scan != 0 ? scan : key.plain;
}

std::int32_t modifier_code(int glut_key) {
  switch (glut_key) {
    case GLUT_KEY_SHIFT_L: return key::left_shift;
    case GLUT_KEY_SHIFT_R: return key::right_shift;
    case GLUT_KEY_CTRL_L: return key::left_ctrl;
    case GLUT_KEY_CTRL_R: return key::right_ctrl;
    case GLUT_KEY_ALT_L: return key::left_alt;
    case GLUT_KEY_ALT_R: return key::right_alt;
    default: return 0;
  }
}

bool is_letter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The queue code of a character callback, and what it types; false for
// characters the console has no key for.
bool character_key(unsigned char c, int modifiers, std::int32_t& code, TypedKey& typed) {
  if (c == 127) {  // the Delete key
    const ScanKey& del = *scan_key_of(GLUT_KEY_DELETE);
    code = 256 * del.plain;
    typed = TypedKey{0, typed_scan(del, modifiers)};
    return true;
  }
  if ((modifiers & GLUT_ACTIVE_CTRL) && c >= 1 && c <= 26) {
    const char first = (modifiers & GLUT_ACTIVE_SHIFT) ? 'A' : 'a';
    code = first + c - 1;
    typed = TypedKey{c, 0};
    return true;
  }
  if (c == key::escape || c == key::enter || c == key::backspace || c == key::tab) {
    code = c;
    typed = TypedKey{c, 0};
    return true;
  }
  if (c < 32) return false;
  if ((modifiers & GLUT_ACTIVE_ALT) && is_letter(c)) {
    code = c;
    typed = TypedKey{0, letter_scan_code(static_cast<char>(c))};
    return true;
  }
  // The window gives Latin-1; the screen's characters are code page 437.
  const int cp437 = cp437_code(static_cast<char32_t>(c));
  if (cp437 < 0) return false;
  code = cp437;
  typed = TypedKey{static_cast<std::uint8_t>(cp437), 0};
  return true;
}

}  // namespace

WindowKeyAction WindowKeys::press(std::int32_t code, bool character, TypedKey typed, bool has_typed) {
  // A key repeat sends presses without releases: hold each key once.
  if (std::none_of(held_.begin(), held_.end(), [&](const Held& h) { return h.code == code; })) {
    held_.push_back(Held{code, character});
  }
  return WindowKeyAction{WindowKeyAction::Kind::press, code, typed, has_typed};
}

WindowKeyAction WindowKeys::release(std::int32_t code, bool character) {
  auto held = std::find_if(held_.begin(), held_.end(), [&](const Held& h) { return h.code == code; });
  if (held == held_.end() && character) {
    // The character changed under a modifier released first (Shift+3 gives
    // "#", its release "3"): with one character key down, it is that one.
    if (std::count_if(held_.begin(), held_.end(), [](const Held& h) { return h.character; }) == 1) {
      held = std::find_if(held_.begin(), held_.end(), [](const Held& h) { return h.character; });
    }
  }
  if (held == held_.end()) return WindowKeyAction{};
  const std::int32_t pressed = held->code;
  held_.erase(held);
  return WindowKeyAction{WindowKeyAction::Kind::release, pressed};
}

WindowKeyAction WindowKeys::character_down(unsigned char character, int modifiers) {
  std::int32_t code = 0;
  TypedKey typed;
  if (!character_key(character, modifiers, code, typed)) return WindowKeyAction{};
  return press(code, true, typed, true);
}

WindowKeyAction WindowKeys::character_up(unsigned char character, int modifiers) {
  std::int32_t code = 0;
  TypedKey typed;
  if (!character_key(character, modifiers, code, typed)) return WindowKeyAction{};
  return release(code, true);
}

bool WindowKeys::ends_run(int key, int modifiers) {
  return key == GLUT_KEY_F4 && (modifiers & GLUT_ACTIVE_ALT) != 0;
}

WindowKeyAction WindowKeys::special_down(int key, int modifiers) {
  if (ends_run(key, modifiers)) return WindowKeyAction{WindowKeyAction::Kind::end_request};
  if (const std::int32_t code = modifier_code(key)) return press(code, false, TypedKey{}, false);
  const ScanKey* scan = scan_key_of(key);
  if (scan == nullptr) return WindowKeyAction{};
  return press(256 * scan->plain, false, TypedKey{0, typed_scan(*scan, modifiers)}, true);
}

WindowKeyAction WindowKeys::special_up(int key, int) {
  if (const std::int32_t code = modifier_code(key)) return release(code, false);
  const ScanKey* scan = scan_key_of(key);
  if (scan == nullptr) return WindowKeyAction{};
  return release(256 * scan->plain, false);
}

}  // namespace pat
