// Without the window build there is no window key translation to test.
#ifdef PAT_HAVE_WINDOW

#include "downloader/console/window_keys.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pat {
namespace {

enum class Call { char_down, char_up, special_down, special_up };

struct Step {
  Call call;
  int key;  // the character, or the GLUT_KEY_* number
  int modifiers = 0;
};

struct Entry {
  WindowKeyAction::Kind kind;
  std::int32_t code = 0;
  int character = -1;  // the typed entry; -1 for none
  int scan = 0;
};

using Kind = WindowKeyAction::Kind;
constexpr int shift = GLUT_ACTIVE_SHIFT;
constexpr int ctrl = GLUT_ACTIVE_CTRL;
constexpr int alt = GLUT_ACTIVE_ALT;

Entry press(std::int32_t code, int character, int scan = 0) { return {Kind::press, code, character, scan}; }
Entry press_untyped(std::int32_t code) { return {Kind::press, code}; }
Entry release(std::int32_t code) { return {Kind::release, code}; }
Entry none() { return {Kind::nothing}; }

// One key pressed and let go with the modifiers held.
std::vector<Step> stroke(Call down, int key, int modifiers = 0) {
  Call up = down == Call::char_down ? Call::char_up : Call::special_up;
  return {{down, key, modifiers}, {up, key, modifiers}};
}

struct Case {
  const char* name;
  std::vector<Step> steps;
  std::vector<Entry> expected;  // one per step
};

const std::vector<Case> cases = {
    {"3 then Escape",
     {{Call::char_down, '3'}, {Call::char_up, '3'}, {Call::char_down, 27}, {Call::char_up, 27}},
     {press('3', '3'), release('3'), press(27, 27), release(27)}},
    {"Enter, Backspace and Tab", [] {
       std::vector<Step> s;
       for (int c : {13, 8, 9}) {
         auto k = stroke(Call::char_down, c);
         s.insert(s.end(), k.begin(), k.end());
       }
       return s;
     }(),
     {press(13, 13), release(13), press(8, 8), release(8), press(9, 9), release(9)}},
    {"Shift held for a capital, let go before the letter",
     {{Call::special_down, GLUT_KEY_SHIFT_L},
      {Call::char_down, 'A', shift},
      {Call::special_up, GLUT_KEY_SHIFT_L},
      {Call::char_up, 'a'}},
     {press_untyped(100304), press('A', 'A'), release(100304), release('A')}},
    {"Shift+3 types # and releases it after Shift",
     {{Call::special_down, GLUT_KEY_SHIFT_R},
      {Call::char_down, '#', shift},
      {Call::special_up, GLUT_KEY_SHIFT_R},
      {Call::char_up, '3'}},
     {press_untyped(100303), press('#', '#'), release(100303), release('#')}},
    {"Ctrl with a letter types the control character",
     {{Call::special_down, GLUT_KEY_CTRL_L},
      {Call::char_down, 2, ctrl},
      {Call::char_up, 2, ctrl},
      {Call::special_up, GLUT_KEY_CTRL_L}},
     {press_untyped(100306), press('b', 2), release('b'), release(100306)}},
    {"Ctrl let go before its letter",
     {{Call::special_down, GLUT_KEY_CTRL_R},
      {Call::char_down, 26, ctrl},
      {Call::special_up, GLUT_KEY_CTRL_R},
      {Call::char_up, 'z'}},
     {press_untyped(100305), press('z', 26), release(100305), release('z')}},
    {"Alt with a letter types 0 and its scan code",
     {{Call::special_down, GLUT_KEY_ALT_L},
      {Call::char_down, 'x', alt},
      {Call::char_up, 'x', alt},
      {Call::special_up, GLUT_KEY_ALT_L},
      {Call::special_down, GLUT_KEY_ALT_R},
      {Call::char_down, 'Q', alt | shift},
      {Call::char_up, 'Q', alt | shift},
      {Call::special_up, GLUT_KEY_ALT_R}},
     {press_untyped(100308), press('x', 0, 45), release('x'), release(100308),
      press_untyped(100307), press('Q', 0, 16), release('Q'), release(100307)}},
    {"cursor and editing keys: 256 times the scan code", [] {
       std::vector<Step> s;
       for (int k : {GLUT_KEY_UP, GLUT_KEY_DOWN, GLUT_KEY_LEFT, GLUT_KEY_RIGHT, GLUT_KEY_HOME,
                     GLUT_KEY_END, GLUT_KEY_PAGE_UP, GLUT_KEY_PAGE_DOWN, GLUT_KEY_INSERT,
                     GLUT_KEY_DELETE}) {
         s.push_back({Call::special_down, k});
       }
       s.push_back({Call::char_down, 127});  // Delete as the keyboard callback gives it
       return s;
     }(),
     {press(18432, 0, 72), press(20480, 0, 80), press(19200, 0, 75), press(19712, 0, 77),
      press(18176, 0, 71), press(20224, 0, 79), press(18688, 0, 73), press(20736, 0, 81),
      press(20992, 0, 82), press(21248, 0, 83), press(21248, 0, 83)}},
    {"function keys", [] {
       std::vector<Step> s;
       for (int k = GLUT_KEY_F1; k <= GLUT_KEY_F10; ++k) s.push_back({Call::special_down, k});
       return s;
     }(),
     [] {
       std::vector<Entry> e;
       for (int n = 0; n < 10; ++n) e.push_back(press(15104 + 256 * n, 0, 59 + n));
       return e;
     }()},
    {"a modifier changes what a key types, not its code",
     {{Call::special_down, GLUT_KEY_F1, shift},
      {Call::special_down, GLUT_KEY_F2, ctrl},
      {Call::special_down, GLUT_KEY_F3, alt},
      {Call::special_down, GLUT_KEY_LEFT, ctrl},
      {Call::special_down, GLUT_KEY_UP, alt},
      {Call::special_up, GLUT_KEY_UP}},
     {press(15104, 0, 84), press(15360, 0, 95), press(15616, 0, 106), press(19200, 0, 115),
      press(18432, 0, 152), release(18432)}},
    {"Alt+F4 is the end request and leaves no release",
     {{Call::special_down, GLUT_KEY_F4, alt}, {Call::special_up, GLUT_KEY_F4, alt}},
     {{Kind::end_request}, none()}},
    {"a release without its press enters nothing",
     {{Call::char_up, 'q'}, {Call::special_up, GLUT_KEY_UP}, {Call::special_up, GLUT_KEY_SHIFT_L}},
     {none(), none(), none()}},
    {"a key repeat repeats the press",
     {{Call::char_down, 'a'}, {Call::char_down, 'a'}, {Call::char_up, 'a'}, {Call::char_up, 'a'}},
     {press('a', 'a'), press('a', 'a'), release('a'), none()}},
    {"Latin-1 from the window becomes code page 437",
     {{Call::char_down, 0xE9}, {Call::char_up, 0xE9}, {Call::char_down, 0xA3}},
     {press(130, 130), release(130), press(156, 156)}},
    {"keys the console has no code for",
     {{Call::char_down, 0}, {Call::char_down, 28}, {Call::char_down, 0xA4},
      {Call::special_down, GLUT_KEY_NUM_LOCK}, {Call::special_down, GLUT_KEY_SUPER_L}},
     {none(), none(), none(), none(), none()}},
};

TEST(WindowKeys, EntriesForTheKeyStores) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(c.steps.size(), c.expected.size());
    WindowKeys keys;
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
      SCOPED_TRACE("step " + std::to_string(i));
      const Step& step = c.steps[i];
      WindowKeyAction got;
      switch (step.call) {
        case Call::char_down: got = keys.character_down(static_cast<unsigned char>(step.key), step.modifiers); break;
        case Call::char_up: got = keys.character_up(static_cast<unsigned char>(step.key), step.modifiers); break;
        case Call::special_down: got = keys.special_down(step.key, step.modifiers); break;
        case Call::special_up: got = keys.special_up(step.key, step.modifiers); break;
      }
      const Entry& want = c.expected[i];
      EXPECT_EQ(static_cast<int>(got.kind), static_cast<int>(want.kind));
      if (want.kind == Kind::press || want.kind == Kind::release) {
        EXPECT_EQ(got.code, want.code);
      }
      if (want.kind != Kind::press) continue;
      EXPECT_EQ(got.has_typed, want.character >= 0);
      if (want.character >= 0) {
        EXPECT_EQ(got.typed.character, want.character);
        EXPECT_EQ(got.typed.scan, want.scan);
      }
    }
  }
}

}  // namespace
}  // namespace pat

#endif  // PAT_HAVE_WINDOW
