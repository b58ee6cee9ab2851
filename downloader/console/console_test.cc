#include "downloader/console/console.h"

#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "downloader/run_error.h"
#include "tests/support/screen_rows.h"
#include "tests/support/scripted_backend.h"

namespace pat {
namespace {

using test::row_text;
using test::ScriptedBackend;

// Counts what the console asks of its backend.
class RecordingBackend : public ConsoleBackend {
 public:
  int attached = 0;
  int detached = 0;
  int idles = 0;
  int wakes = 0;
  std::vector<int> sleeps;

  void attach(Console&) override { ++attached; }
  void detach() override { ++detached; }
  void idle() override { ++idles; }
  void sleep_ms(int ms) override { sleeps.push_back(ms); }
  void wake() override { ++wakes; }
  bool ask_yes_no(std::string_view, std::string_view) override { return true; }
  void show_message(std::string_view, std::string_view) override {}
};

void set_up(Console& console) {
  console.screen_statement(0);
  console.width_statement(100);
  console.set_palette_colour(7, rgb32_colour(255, 255, 255));
  console.colour_statement(0, 7);
  console.clear_screen();
}

TEST(Console, AttachesOnCreationAndDetachesAtTheEnd) {
  RecordingBackend backend;
  {
    Console console(backend);
    EXPECT_EQ(backend.attached, 1);
    EXPECT_EQ(backend.detached, 0);
  }
  EXPECT_EQ(backend.detached, 1);
}

TEST(ConsoleKeys, ReadTypedKeyGivesOneOrTwoBytesAndNeverWaits) {
  struct Case {
    const char* name;
    TypedKey key;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"letter with its scan code", {'a', 30}, "a"},
      {"Enter", {13, 28}, "\r"},
      {"Escape", {27, 1}, "\x1b"},
      {"character 0 without a scan code", {0, 0}, std::string(1, '\0')},
      {"Up", {0, 72}, std::string("\0H", 2)},
      {"F1", {0, 59}, std::string("\0;", 2)},
  };
  for (const Case& c : cases) {
    RecordingBackend backend;
    Console console(backend);
    console.key_press(c.key.character == 0 ? 256 * c.key.scan : c.key.character, c.key, true);
    EXPECT_EQ(console.read_typed_key(), c.expected) << c.name;
    EXPECT_EQ(console.read_typed_key(), "") << c.name;
    EXPECT_EQ(backend.idles, 0) << c.name;
    EXPECT_TRUE(backend.sleeps.empty()) << c.name;
  }
}

TEST(ConsoleKeys, KeysWithoutATypedEntryReachOnlyTheEventQueue) {
  RecordingBackend backend;
  Console console(backend);
  console.key_press(key::left_shift, TypedKey{}, false);
  console.key_release(key::left_shift);
  EXPECT_FALSE(console.typed_keys_waiting());
  EXPECT_EQ(console.read_typed_key(), "");
  EXPECT_EQ(console.next_key_hit(), key::left_shift);
  EXPECT_EQ(console.next_key_hit(), -key::left_shift);
  EXPECT_EQ(console.next_key_hit(), 0);
  EXPECT_EQ(backend.idles, 3);
}

// A name pasted with its Enter: the key-event queue has every key at once,
// and the typed keys come out whole although the buffer holds fifteen.
TEST(ConsoleKeys, APastedLineReachesBothStoresWhole) {
  const std::string pasted = "north-workshop-store-room-may-2019\r";
  RecordingBackend backend;
  Console console(backend);
  for (char c : pasted) {
    const auto byte = static_cast<std::uint8_t>(c);
    console.key_press(byte, TypedKey{byte, 0}, true);
    console.key_release(byte);
  }
  for (char c : pasted) {
    EXPECT_EQ(console.next_key_hit(), static_cast<std::uint8_t>(c));
    EXPECT_EQ(console.next_key_hit(), -static_cast<std::uint8_t>(c));
  }
  EXPECT_EQ(console.next_key_hit(), 0);
  std::string typed;
  for (Text key = console.read_typed_key(); !key.empty(); key = console.read_typed_key()) typed += key;
  EXPECT_EQ(typed, pasted);
}

TEST(ConsoleKeys, DiscardTakesTheHeldKeysToo) {
  RecordingBackend backend;
  Console console(backend);
  for (int i = 0; i < 40; ++i) console.key_press('x', TypedKey{'x', 45}, true);
  console.discard_typed_keys();
  EXPECT_FALSE(console.typed_keys_waiting());
  EXPECT_EQ(console.read_typed_key(), "");
  console.key_press('y', TypedKey{'y', 21}, true);
  EXPECT_EQ(console.read_typed_key(), "y");
  EXPECT_EQ(console.next_key_hit(), 'x') << "the key events stay";
}

TEST(ConsoleKeys, ThreeThenEscapeComeOutAsPressesAndReleases) {
  ScriptedBackend backend;
  backend.type("3");
  backend.press(key::escape, TypedKey{27, 0}, true);
  backend.release(key::escape);
  Console console(backend);
  // The scripted keys arrive while the program waits; reading the typed keys
  // in between lets every step through.
  std::vector<std::string> typed;
  for (int i = 0; i < 4; ++i) {
    console.wait_ms(10);
    std::string key = console.read_typed_key();
    if (!key.empty()) typed.push_back(key);
  }
  EXPECT_EQ(typed, (std::vector<std::string>{"3", "\x1b"}));
  std::vector<std::int32_t> hits;
  for (int i = 0; i < 5; ++i) hits.push_back(console.next_key_hit());
  EXPECT_EQ(hits, (std::vector<std::int32_t>{51, -51, 27, -27, 0}));
}

TEST(ConsolePrint, PiecesFollowTheFitRule) {
  struct Case {
    const char* name;
    int column;
    std::function<void(Console&)> print;
    int row_after, column_after;
    std::string row_start;  // of the row the piece went to
    int piece_row;
  };
  const std::vector<Case> cases = {
      {"line of 100 from column 1", 1, [](Console& c) { c.print_line(std::string(100, 'x')); }, 2, 1,
       std::string(100, 'x'), 1},
      {"text of 12 from column 90", 90, [](Console& c) { c.print_text("abcdefghijkl"); }, 2, 13, "abcdefghijkl", 2},
      {"text of 12 from column 89", 89, [](Console& c) { c.print_text("abcdefghijkl"); }, 1, 100, "", 1},
      {"number with a line end", 1, [](Console& c) { c.print_number(60, true); }, 2, 1, " 60 ", 1},
      {"number that fits with its blank", 97, [](Console& c) { c.print_number(60, false); }, 1, 100, "", 1},
      {"number whose blank does not fit", 98, [](Console& c) { c.print_number(60, false); }, 2, 5, " 60 ", 2},
      {"empty line", 40, [](Console& c) { c.print_empty_line(); }, 2, 1, "", 1},
      {"plain print ignores the fit rule", 90, [](Console& c) { c.print_to_screen("abcdefghijkl", false); }, 2,
       2, "l", 2},
  };
  for (const Case& c : cases) {
    RecordingBackend backend;
    Console console(backend);
    set_up(console);
    console.locate_cursor(1, c.column);
    c.print(console);
    EXPECT_EQ(console.screen().cursor_row, c.row_after) << c.name;
    EXPECT_EQ(console.screen().cursor_column, c.column_after) << c.name;
    EXPECT_EQ(row_text(console, c.piece_row).substr(0, c.row_start.size()), c.row_start) << c.name;
  }
}

TEST(ConsolePrint, RowTextIsTheRowsCharacterBytes) {
  RecordingBackend backend;
  Console console(backend);
  set_up(console);
  console.locate_cursor(3, 99);
  console.print_to_screen("ab", false);
  std::string row = row_text(console, 3);
  ASSERT_EQ(row.size(), 100u);
  EXPECT_EQ(row.substr(98), "ab");
  EXPECT_EQ(row.substr(0, 98), std::string(98, ' '));
  EXPECT_EQ(row_text(console, 0), "");
  EXPECT_EQ(row_text(console, 26), "");
}

TEST(ConsolePrint, BellPausesAQuarterSecondAndWritesNothing) {
  RecordingBackend backend;
  Console console(backend);
  set_up(console);
  console.print_to_screen("a\x07" "b", false);
  EXPECT_EQ(backend.sleeps, (std::vector<int>{250}));
  EXPECT_EQ(row_text(console, 1).substr(0, 3), "ab ");
}

TEST(ConsolePrint, EveryScreenChangeAdvancesTheGeneration) {
  RecordingBackend backend;
  Console console(backend);
  const std::vector<std::function<void()>> changes = {
      [&] { set_up(console); },
      [&] { console.print_to_screen("a", false); },
      [&] { console.print_line("b"); },
      [&] { console.locate_cursor(5, 5); },
      [&] { console.set_cursor_visible(true); },
      [&] { console.new_line(); },
      [&] { console.restore_screen(console.screen_copy()); },
  };
  for (std::size_t i = 0; i < changes.size(); ++i) {
    std::uint64_t before = console.generation();
    changes[i]();
    EXPECT_GT(console.generation(), before) << "change " << i;
  }
}

TEST(ConsoleScreen, RestoreBringsBackTheCopyAndKeepsTheBell) {
  RecordingBackend backend;
  Console console(backend);
  set_up(console);
  console.print_text("before");
  TextScreen saved = console.screen_copy();
  saved.on_bell = nullptr;  // a copy's own handler must not replace the console's
  console.print_line(" and after");
  console.colour_statement(1, 2);
  console.restore_screen(saved);
  EXPECT_EQ(row_text(console, 1).substr(0, 12), "before      ");
  EXPECT_EQ(console.screen().cursor_row, 1);
  EXPECT_EQ(console.screen().cursor_column, 7);
  EXPECT_EQ(console.screen().foreground, 0);
  console.print_to_screen("\x07", false);
  EXPECT_EQ(backend.sleeps, (std::vector<int>{250}));
}

TEST(ConsoleScreen, ErrorsComeFromTheScreenRules) {
  RecordingBackend backend;
  Console console(backend);
  set_up(console);
  EXPECT_THROW(console.locate_cursor(1, 101), RunError);
  EXPECT_THROW(console.set_scroll_region(3, 2), RunError);
  EXPECT_THROW(console.width_statement(0), RunError);
  EXPECT_EQ(console.screen().columns, 100);
}

TEST(ConsoleWait, WaitsThroughTheBackendAndEndsOnTheEndRequest) {
  RecordingBackend backend;
  Console console(backend);
  console.wait_ms(10);
  EXPECT_EQ(backend.idles, 1);
  EXPECT_EQ(backend.sleeps, (std::vector<int>{10}));
  EXPECT_NO_THROW(console.check_end_request());

  console.request_end();
  EXPECT_TRUE(console.end_requested());
  EXPECT_THROW(console.check_end_request(), ProgramExit);
  EXPECT_THROW(console.wait_ms(10), ProgramExit);
  EXPECT_EQ(backend.sleeps.size(), 1u) << "a run that must end does not wait first";
}

// A wait on the wake descriptor beside others ends for every key event and
// for the end request.
TEST(ConsoleWait, WakeDescriptorReportsKeyEventsAndTheEndRequest) {
  struct Case {
    const char* name;
    std::function<void(Console&)> act;
  };
  const std::vector<Case> cases = {
      {"key press", [](Console& c) { c.key_press(30, TypedKey{'a', 30}, true); }},
      {"key press without a typed key", [](Console& c) { c.key_press(42, TypedKey{}, false); }},
      {"key release", [](Console& c) { c.key_release(30); }},
      {"end request", [](Console& c) { c.request_end(); }},
  };
  const auto readable = [](int fd) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) == 1;
  };
  for (const Case& c : cases) {
    RecordingBackend backend;
    Console console(backend);
    const int fd = console.wake_fd();
    ASSERT_GE(fd, 0) << c.name;
    EXPECT_FALSE(readable(fd)) << c.name;
    c.act(console);
    EXPECT_TRUE(readable(fd)) << c.name;
    char drain[8];
    EXPECT_GT(::read(fd, drain, sizeof drain), 0) << c.name;
    EXPECT_FALSE(readable(fd)) << c.name << ": read empty";
  }
}

TEST(ConsoleWait, AWaitForATypedKeyEndsOnlyOnAKeyTheEndOrItsTime) {
  using namespace std::chrono_literals;
  struct Case {
    const char* name;
    std::function<void(Console&)> meanwhile;  // from another thread, 50 ms into the wait
    bool ends_run;
    bool cut_short;  // ends well before its 3 s
  };
  const std::vector<Case> cases = {
      {"a typed key", [](Console& c) { c.key_press('a', TypedKey{'a', 30}, true); }, false, true},
      {"the end request", [](Console& c) { c.request_end(); }, true, true},
      {"a key with no typed entry",
       [](Console& c) { c.key_press(key::left_shift, TypedKey{}, false); }, false, false},
  };
  for (const Case& c : cases) {
    RecordingBackend backend;
    Console console(backend);
    std::thread other([&] {
      std::this_thread::sleep_for(50ms);
      c.meanwhile(console);
    });
    const auto start = std::chrono::steady_clock::now();
    bool ended = false;
    try {
      console.wait_for_typed_key(c.cut_short ? 3000 : 300);
    } catch (const ProgramExit&) {
      ended = true;
    }
    const auto took = std::chrono::steady_clock::now() - start;
    other.join();
    EXPECT_EQ(ended, c.ends_run) << c.name;
    if (c.cut_short) {
      EXPECT_LT(took, 2s) << c.name;
    } else {
      EXPECT_GE(took, 300ms) << c.name;
    }
    EXPECT_TRUE(backend.sleeps.empty()) << c.name;
  }
}

TEST(ConsoleWait, AKeyTypedBeforeTheWaitEndsItAtOnce) {
  RecordingBackend backend;
  Console console(backend);
  console.key_press('a', TypedKey{'a', 30}, true);
  const auto start = std::chrono::steady_clock::now();
  console.wait_for_typed_key(5000);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(backend.idles, 1);
  EXPECT_EQ(console.read_typed_key(), "a");
}

TEST(ConsolePrint, ABatchOfChangesWakesTheBackendOnceUntilItsSnapshot) {
  RecordingBackend backend;
  Console console(backend);
  set_up(console);
  console.print_line("first");
  console.locate_cursor(5, 5);
  EXPECT_EQ(backend.wakes, 1);
  const TextScreen saved = console.screen_copy();  // the program's own copy
  console.print_text("x");
  EXPECT_EQ(backend.wakes, 1);
  console.snapshot();
  EXPECT_EQ(backend.wakes, 1);
  console.restore_screen(saved);
  console.print_text("y");
  EXPECT_EQ(backend.wakes, 2);
  console.request_end();
  console.request_end();
  EXPECT_EQ(backend.wakes, 3) << "the end request wakes the backend once";
}

// Typed keys read the way a line entry reads them, until the run is ended.
std::vector<std::string> read_until_end(Console& console, int& waits) {
  std::vector<std::string> keys;
  waits = 0;
  try {
    for (int i = 0; i < 1000; ++i) {
      console.wait_ms(10);
      ++waits;
      std::string key = console.read_typed_key();
      if (!key.empty()) keys.push_back(key);
    }
    ADD_FAILURE() << "the script never ended the run";
  } catch (const ProgramExit&) {
  }
  return keys;
}

// A step waits until the program has taken the key before it from either
// store: a line entry reads typed keys, the capture reads key events.
TEST(ScriptedBackend, DeliversOneStepPerWaitOnceTheKeyBeforeIsTaken) {
  ScriptedBackend backend;
  backend.type("ab");
  Console console(backend);

  console.wait_ms(10);
  EXPECT_TRUE(console.typed_keys_waiting());
  console.wait_ms(10);  // 'a' waits in both stores: its release is held back
  EXPECT_EQ(console.next_key_hit(), 'a');
  EXPECT_EQ(console.next_key_hit(), -'a');  // the event was taken, the release came
  EXPECT_EQ(console.next_key_hit(), 'b');   // although 'a' is still typed and unread
  EXPECT_EQ(console.read_typed_key(), "a");
  EXPECT_EQ(console.read_typed_key(), "b");
  EXPECT_EQ(console.next_key_hit(), -'b');
  EXPECT_TRUE(backend.script_done());
  EXPECT_FALSE(console.end_requested());
  EXPECT_THROW(console.wait_ms(10), ProgramExit);
}

TEST(ScriptedBackend, ScriptsEndTheRunWhenTheyRunOut) {
  struct Case {
    const char* name;
    std::function<void(ScriptedBackend&)> script;
    std::vector<std::string> keys;
    int waits;  // completed before the end
    bool done;
  };
  const std::vector<Case> cases = {
      {"empty script", [](ScriptedBackend&) {}, {}, 0, true},
      {"a line", [](ScriptedBackend& b) { b.type_line("12"); }, {"1", "2", "\r"}, 6, true},
      {"idle steps", [](ScriptedBackend& b) { b.idle_steps(3); }, {}, 3, true},
      {"end request in the middle",
       [](ScriptedBackend& b) {
         b.type("x");
         b.end_request();
         b.type("y");
       },
       {"x"}, 2, false},
      {"key without a character",
       [](ScriptedBackend& b) {
         b.press(key::up, TypedKey{0, 72}, true);
         b.release(key::up);
       },
       {std::string("\0H", 2)}, 2, true},
      {"held shift",
       [](ScriptedBackend& b) { b.press(key::left_shift, TypedKey{}, false); }, {}, 1, true},
  };
  for (const Case& c : cases) {
    ScriptedBackend backend;
    c.script(backend);
    Console console(backend);
    int waits = 0;
    EXPECT_EQ(read_until_end(console, waits), c.keys) << c.name;
    EXPECT_EQ(waits, c.waits) << c.name;
    EXPECT_EQ(backend.script_done(), c.done) << c.name;
  }
}

TEST(ScriptedBackend, BoxesAreAnsweredInOrderThenNo) {
  ScriptedBackend backend;
  backend.answer_boxes({true, false, true});
  Console console(backend);
  EXPECT_TRUE(console.ask_yes_no("Unhandled Error #53", "first"));
  EXPECT_FALSE(console.ask_yes_no("Unhandled Error #55", "second"));
  console.show_message("Out of memory", "note");
  EXPECT_TRUE(console.ask_yes_no("Unhandled Error #5", "third"));
  EXPECT_FALSE(console.ask_yes_no("Unhandled Error #5", "fourth"));
  EXPECT_EQ(backend.boxes, (std::vector<std::string>{"Unhandled Error #53", "first", "Unhandled Error #55", "second",
                                                     "Out of memory", "note", "Unhandled Error #5", "third",
                                                     "Unhandled Error #5", "fourth"}));
}

TEST(ScriptedBackend, StopsDeliveringOnceTheConsoleIsGone) {
  ScriptedBackend backend;
  backend.type("a");
  { Console console(backend); }
  backend.idle();
  EXPECT_FALSE(backend.script_done());
}

}  // namespace
}  // namespace pat
