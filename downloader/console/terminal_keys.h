#pragma once

#include <cstdint>

#include "downloader/console/key_stores.h"

// What a key read from the terminal enters in the console's key stores.

namespace pat {

struct TerminalKey {
  std::int32_t code = 0;  // for the key-event queue
  TypedKey typed;         // for the typed-key buffer
  bool keypad = false;
};

// Turns one result of ncurses' wget_wch (a curses key code when
// function_key, otherwise a Unicode character) into a console key; false
// for input the console has no key for.
bool terminal_key(bool function_key, std::uint32_t value, TerminalKey& key);

// A terminal sends Alt with a letter as Escape and the letter, in one go:
// true, with the key, when `value` after an Escape is such a letter.
bool terminal_alt_key(std::uint32_t value, TerminalKey& key);

}  // namespace pat
