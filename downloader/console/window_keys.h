#pragma once

#include <cstdint>
#include <vector>

#include "downloader/console/key_stores.h"

// What the window's key callbacks enter in the console's key stores. The
// keys are freeglut's: a character as the keyboard callbacks give it, or a
// GLUT_KEY_* number from the special callbacks, with the GLUT_ACTIVE_*
// modifier bits held at the time.

namespace pat {

struct WindowKeyAction {
  enum class Kind { nothing, press, release, end_request };
  Kind kind = Kind::nothing;
  std::int32_t code = 0;
  TypedKey typed;
  bool has_typed = false;
};

// Remembers the keys held down, so that a release carries the code of its
// press even when Shift or Ctrl changed in between, and a press that was
// stored nowhere has no release either.
class WindowKeys {
 public:
  WindowKeyAction character_down(unsigned char character, int modifiers);
  WindowKeyAction character_up(unsigned char character, int modifiers);
  WindowKeyAction special_down(int key, int modifiers);
  WindowKeyAction special_up(int key, int modifiers);
  // Alt+F4: the end request.
  static bool ends_run(int key, int modifiers);

 private:
  struct Held {
    std::int32_t code;
    bool character;
  };
  WindowKeyAction press(std::int32_t code, bool character, TypedKey typed, bool has_typed);
  WindowKeyAction release(std::int32_t code, bool character);

  std::vector<Held> held_;
};

}  // namespace pat
