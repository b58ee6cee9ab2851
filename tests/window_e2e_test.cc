// The console in a window of its own, under a virtual X server: the real
// program's window and its keys, and the window backend in this process.

#include <gtest/gtest.h>

#ifndef PAT_HAVE_WINDOW

TEST(Window, NotBuilt) { GTEST_SKIP() << "built without the window console"; }

#else

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "downloader/console/console.h"
#include "downloader/console/window_backend.h"
#include "tests/e2e_support.h"
#include "tests/support/changed_environment.h"

// Last: the OpenGL and X11 headers, whose macros would spoil the others.
#include "downloader/console/window_libraries.h"


namespace pat::test {
namespace {

using Clock = std::chrono::steady_clock;

bool on_path(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  std::size_t at = 0;
  while (at <= dirs.size()) {
    std::size_t end = dirs.find(':', at);
    if (end == std::string::npos) end = dirs.size();
    if (access((dirs.substr(at, end - at) + "/" + program).c_str(), X_OK) == 0) return true;
    at = end + 1;
  }
  return false;
}

const char* missing_tool() {
  for (const char* tool : {"Xvfb", "xdotool", "xwd"}) {
    if (!on_path(tool)) return tool;
  }
  return nullptr;
}

void pause_for(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

// Runs an X client on the display; what it printed on stdout.
std::string run_tool(const std::vector<std::string>& argv, const std::string& display) {
  ChangedEnvironment environment({"DISPLAY=" + display});
  return run_command(argv, environment.get());
}

// A virtual X server of its own on a free display.
class XServer {
 public:
  XServer() {
    int ready[2];
    if (pipe(ready) != 0) return;
    const std::string fd = std::to_string(ready[1]);
    pid_ = fork();
    if (pid_ == 0) {
      const int null = open("/dev/null", O_RDWR);
      dup2(null, 0);
      dup2(null, 1);
      dup2(null, 2);
      close(ready[0]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
             "tcp", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(ready[1]);
    // Xvfb writes its display number once it takes connections.
    std::string number;
    pollfd waiting{ready[0], POLLIN, 0};
    const auto until = Clock::now() + std::chrono::seconds(10);
    while (number.find('\n') == std::string::npos && Clock::now() < until) {
      if (poll(&waiting, 1, 100) <= 0) continue;
      char c;
      if (read(ready[0], &c, 1) != 1) break;
      number += c;
    }
    close(ready[0]);
    if (number.find('\n') == std::string::npos) return;
    const std::string display = ":" + number.substr(0, number.find('\n'));
    // Take it as up once a client gets in.
    while (Clock::now() < until) {
      if (Display* d = XOpenDisplay(display.c_str())) {
        XCloseDisplay(d);
        display_ = display;
        return;
      }
      pause_for(0.02);
    }
  }
  ~XServer() { stop(); }
  void stop() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
  }
  const std::string& display() const { return display_; }
  bool up() const { return !display_.empty(); }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

// A screenshot of one window, as 0xRRGGBB pixels.
struct Shot {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
  std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
  // Pixels of the colour in the cell row (1-based, 16 pixel rows each).
  int count_in_row(int row, std::uint32_t colour) const {
    int n = 0;
    for (int y = (row - 1) * 16; y < row * 16 && y < height; ++y)
      for (int x = 0; x < width; ++x) n += at(x, y) == colour;
    return n;
  }
  int count_other_than(std::uint32_t colour) const {
    int n = 0;
    for (std::uint32_t p : pixels) n += p != colour;
    return n;
  }
};

std::uint32_t big_endian(const std::string& b, std::size_t at) {
  auto u = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + i])); };
  return u(0) << 24 | u(1) << 16 | u(2) << 8 | u(3);
}

// Reads xwd's dump of a true-colour window.
std::optional<Shot> read_xwd(const std::string& b) {
  if (b.size() < 100) return std::nullopt;
  auto field = [&](int n) { return big_endian(b, static_cast<std::size_t>(n) * 4); };
  const std::uint32_t header = field(0), width = field(4), height = field(5), byte_order = field(7),
                      bits = field(11), line = field(12), red = field(14), green = field(15),
                      blue = field(16), colours = field(19);
  const std::size_t data = header + static_cast<std::size_t>(colours) * 12;
  if (bits != 32 || b.size() < data + static_cast<std::size_t>(line) * height) return std::nullopt;
  auto channel = [](std::uint32_t value, std::uint32_t mask) {
    int shift = 0;
    while (mask != 0 && !(mask & 1)) {
      mask >>= 1;
      ++shift;
    }
    return (value >> shift) & 0xFF;
  };
  Shot shot;
  shot.width = static_cast<int>(width);
  shot.height = static_cast<int>(height);
  shot.pixels.resize(static_cast<std::size_t>(width) * height);
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      const std::size_t at = data + static_cast<std::size_t>(y) * line + x * 4;
      std::uint32_t v = 0;
      for (int i = 0; i < 4; ++i) {
        const std::uint32_t byte = static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
        v |= byte_order == 0 ? byte << (8 * i) : byte << (8 * (3 - i));
      }
      shot.pixels[static_cast<std::size_t>(y) * width + x] =
          channel(v, red) << 16 | channel(v, green) << 8 | channel(v, blue);
    }
  }
  return shot;
}

constexpr std::uint32_t white = 0xFFFFFF;
constexpr std::uint32_t black = 0x000000;

// The set-up is done: the screen is 800 pixels wide on pure white, its
// last row empty; and the row shows some text.
bool set_up_with_text_in(const Shot& s, int row) {
  return s.width == 800 && s.count_in_row(25, white) == 800 * 16 && s.count_in_row(row, black) > 0;
}

// The program's window on the display and what it shows.
class WindowView {
 public:
  explicit WindowView(const XServer& x) : display_(x.display()) {}

  // Waits for the window with the program's title to be shown.
  bool find(double seconds = 10) {
    const auto until = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < until) {
      const std::string found = run_tool(
          {"xdotool", "search", "--onlyvisible", "--name", "^Read Data via RS-232 for Seaward Supernova$"},
          display_);
      if (!found.empty()) {
        id_ = found.substr(0, found.find('\n'));
        // Without a window manager freeglut's window stands at -1, -1, a
        // pixel off the screen that screenshots would lose.
        run_tool({"xdotool", "windowmove", "--sync", id_, "0", "0"}, display_);
        run_tool({"xdotool", "windowfocus", "--sync", id_}, display_);
        return true;
      }
      pause_for(0.05);
    }
    return false;
  }
  const std::string& id() const { return id_; }
  // The window's WM_CLASS: its instance and class names.
  std::pair<std::string, std::string> class_hint() const {
    std::pair<std::string, std::string> names;
    Display* d = XOpenDisplay(display_.c_str());
    if (d == nullptr) return names;
    XClassHint hint{};
    if (XGetClassHint(d, std::stoul(id_), &hint) != 0) {
      names = {hint.res_name, hint.res_class};
      XFree(hint.res_name);
      XFree(hint.res_class);
    }
    XCloseDisplay(d);
    return names;
  }

  std::optional<Shot> shot() const { return read_xwd(run_tool({"xwd", "-silent", "-id", id_}, display_)); }
  // Waits until the window's picture satisfies the condition.
  bool wait_for(const std::function<bool(const Shot&)>& condition, double seconds = 10) const {
    const auto until = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < until) {
      const std::optional<Shot> s = shot();
      if (s && condition(*s)) return true;
      pause_for(0.05);
    }
    return false;
  }
  bool wait_ink_in_row(int row, double seconds = 10) const {
    return wait_for([&](const Shot& s) { return s.count_in_row(row, black) > 0; }, seconds);
  }
  bool wait_set_up_with_text_in(int row, double seconds = 10) const {
    return wait_for([&](const Shot& s) { return set_up_with_text_in(s, row); }, seconds);
  }

  void keys(const std::vector<std::string>& names) const {
    std::vector<std::string> argv = {"xdotool", "key", "--delay", "30"};
    argv.insert(argv.end(), names.begin(), names.end());
    run_tool(argv, display_);
  }
  void type(const std::string& text) const {
    run_tool({"xdotool", "type", "--delay", "30", text}, display_);
  }
  // What the window's close button sends.
  void ask_to_close() const {
    Display* d = XOpenDisplay(display_.c_str());
    if (d == nullptr) return;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = std::stoul(id_);
    event.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, event.xclient.window, False, NoEventMask, &event);
    XFlush(d);
    XCloseDisplay(d);
  }
  void destroy() const { run_tool({"xdotool", "windowclose", id_}, display_); }

 private:
  std::string display_;
  std::string id_;
};

// The program started as from a desktop: standard input not a terminal.
class WindowRun {
 public:
  WindowRun(const RunFolder& folder, const XServer& x, const std::string& argument = "") {
    ChangedEnvironment environment({"DISPLAY=" + x.display()});
    const std::string program = folder.file("pat-downloader");
    const std::string log = folder.file(".output");
    std::vector<char*> args = {const_cast<char*>(program.c_str())};
    if (!argument.empty()) args.push_back(const_cast<char*>(argument.c_str()));
    args.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
      // Without a controlling terminal: a window that fails to open must
      // not fall back to the terminal this test runs in.
      setsid();
      const int null = open("/dev/null", O_RDWR);
      const int output = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(null, 0);
      dup2(output, 1);
      dup2(output, 2);
      execve(args[0], args.data(), environment.get());
      _exit(127);
    }
  }
  ~WindowRun() {
    if (pid_ > 0 && !ended()) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  void signal(int number) const { kill(pid_, number); }
  // The exit status, -1 when the program still runs after the time.
  int wait_exit(double seconds) {
    const auto until = Clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
      if (ended()) return status_;
      if (Clock::now() >= until) return -1;
      pause_for(0.02);
    }
  }
  bool ended() {
    if (status_ >= 0) return true;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) != pid_) return false;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return true;
  }

 private:
  pid_t pid_ = -1;
  int status_ = -1;
};

// Why no window came.
std::string no_window(WindowRun& run, const RunFolder& folder, const XServer& x) {
  return "display " + x.display() + ", program " +
         (run.ended() ? "ended with " + std::to_string(run.wait_exit(0)) : std::string("running")) +
         ", output: " + folder.read(".output");
}

#define SKIP_WITHOUT_TOOLS()                                                  \
  do {                                                                        \
    if (const char* tool = missing_tool()) GTEST_SKIP() << tool << " missing"; \
  } while (false)

TEST(WindowRun, TheDialogueInBlackOnPureWhite) {
  SKIP_WITHOUT_TOOLS();
  XServer x;
  ASSERT_TRUE(x.up());
  RunFolder folder;
  WindowRun run(folder, x);
  WindowView window(x);
  ASSERT_TRUE(window.find()) << no_window(run, folder, x);
  // What a task bar groups it by.
  EXPECT_EQ(window.class_hint(), std::make_pair(std::string("pat-downloader"), std::string("pat-downloader")));
  // The first question stands on row 2 once the set-up is done.
  ASSERT_TRUE(window.wait_set_up_with_text_in(2)) << folder.read(".output");

  std::optional<Shot> shot = window.shot();
  ASSERT_TRUE(shot);
  EXPECT_EQ(shot->width, 800);
  EXPECT_EQ(shot->height, 400);
  EXPECT_EQ(shot->count_other_than(white) - shot->count_in_row(1, black) - shot->count_in_row(2, black), 0)
      << "only black glyph pixels on pure white";
  EXPECT_GT(shot->count_in_row(1, black), 500);  // the title
  EXPECT_EQ(shot->count_in_row(4, black), 0);
  EXPECT_EQ(shot->count_in_row(25, black), 0);

  // Port 3: the baud menu follows on rows 4 to 9.
  window.type("3");
  window.keys({"Return"});
  EXPECT_TRUE(window.wait_ink_in_row(4));
  shot = window.shot();
  ASSERT_TRUE(shot);
  for (int row : {4, 6, 7, 8}) EXPECT_GT(shot->count_in_row(row, black), 0) << row;
  EXPECT_EQ(shot->count_in_row(5, black), 0);
  EXPECT_EQ(shot->width, 800);
  EXPECT_EQ(run.wait_exit(0), -1);
}

TEST(WindowRun, ModifierAndLockKeysAloneDoNotEndTheClosingWait) {
  SKIP_WITHOUT_TOOLS();
  const std::vector<std::string> ending_keys = {"a", "Up", "F1"};
  for (const std::string& ending : ending_keys) {
    SCOPED_TRACE(ending);
    XServer x;
    ASSERT_TRUE(x.up());
    RunFolder folder;
    WindowRun run(folder, x, "/v");
    WindowView window(x);
    ASSERT_TRUE(window.find()) << no_window(run, folder, x);
    // "Press any key to continue" on row 25.
    ASSERT_TRUE(window.wait_for([](const Shot& s) {
      return s.width == 800 && s.count_in_row(25, white) > 0 && s.count_in_row(25, black) > 0;
    }));
    window.keys({"Shift_L", "Control_R", "Alt_L", "Caps_Lock", "Caps_Lock"});
    EXPECT_EQ(run.wait_exit(0.5), -1) << "a lone modifier ended the wait";
    window.keys({ending});
    EXPECT_EQ(run.wait_exit(5), 0);
  }
}

TEST(WindowRun, ClosingTheWindowEndsAtOnce) {
  SKIP_WITHOUT_TOOLS();
  struct Case {
    const char* name;
    std::function<void(const WindowView&, XServer&, const WindowRun&)> close;
  };
  const std::vector<Case> cases = {
      {"the close button", [](const WindowView& w, XServer&, const WindowRun&) { w.ask_to_close(); }},
      {"Alt+F4", [](const WindowView& w, XServer&, const WindowRun&) { w.keys({"alt+F4"}); }},
      {"Ctrl+Break", [](const WindowView& w, XServer&, const WindowRun&) { w.keys({"ctrl+Pause"}); }},
      {"the window destroyed", [](const WindowView& w, XServer&, const WindowRun&) { w.destroy(); }},
      // As a terminal's hang-up: nobody is there to answer any more.
      {"the display gone", [](const WindowView&, XServer& x, const WindowRun&) { x.stop(); }},
      // Ctrl+C in the terminal it was started from, or a shutdown.
      {"SIGTERM", [](const WindowView&, XServer&, const WindowRun& r) { r.signal(SIGTERM); }},
      {"SIGINT", [](const WindowView&, XServer&, const WindowRun& r) { r.signal(SIGINT); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    XServer x;
    ASSERT_TRUE(x.up());
    RunFolder folder;
    WindowRun run(folder, x);
    WindowView window(x);
    ASSERT_TRUE(window.find()) << no_window(run, folder, x);
    ASSERT_TRUE(window.wait_set_up_with_text_in(2));  // the line entry of the port waits
    c.close(window, x, run);
    // Without the closing prompt: that would wait for a key.
    EXPECT_EQ(run.wait_exit(3), 0) << folder.read(".output");
    EXPECT_EQ(folder.read(".output"), "");
  }
}

// A desktop without one of the window's libraries: the program, started
// with a display and no terminal on its input, shows its screen in the
// terminal it has for its output instead of ending. An empty file of the
// library's name, first on the search path, cannot be loaded.
TEST(WindowRun, WithoutOneOfItsLibrariesTheTerminalIsUsed) {
  SKIP_WITHOUT_TOOLS();
  XServer x;
  ASSERT_TRUE(x.up());
  for (const WindowLibraryNames& library : window_library_names()) {
    SCOPED_TRACE(library.what);
    RunFolder folder;
    ASSERT_EQ(mkdir(folder.file(".broken").c_str(), 0755), 0);
    for (const char* name : library.names) folder.write(std::string(".broken/") + name, "");
    // Input that is no terminal and never ends.
    ASSERT_EQ(mkfifo(folder.file(".keys").c_str(), 0600), 0);
    TmuxRun run(folder, "0<>.keys", "DISPLAY=" + x.display() + " LD_LIBRARY_PATH=.broken ./pat-downloader");
    EXPECT_TRUE(run.wait_row(2, " Enter COM port number #")) << run.screen_text();
    run.key("C-c");
    EXPECT_EQ(run.wait_exit(), 0) << run.screen_text();
  }
}

// The window backend in this process, on a display of its own.
class WindowBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* tool = missing_tool()) GTEST_SKIP() << tool << " missing";
    ASSERT_TRUE(x.up());
    backend.emplace(x.display());
    console.emplace(*backend);
    ASSERT_TRUE(window.find());
  }
  void TearDown() override {
    console.reset();
    backend.reset();
  }
  // Key-event entries until count have come or the time is out.
  std::vector<std::int32_t> events(std::size_t count, double seconds = 3) {
    std::vector<std::int32_t> got;
    const auto until = Clock::now() + std::chrono::duration<double>(seconds);
    while (got.size() < count && Clock::now() < until) {
      if (const std::int32_t code = console->next_key_hit()) {
        got.push_back(code);
      } else {
        pause_for(0.01);
      }
    }
    return got;
  }
  std::string typed() {
    std::string text;
    for (Text key = console->read_typed_key(); !key.empty(); key = console->read_typed_key()) text += key;
    return text;
  }

  XServer x;
  std::optional<WindowBackend> backend;
  std::optional<Console> console;
  WindowView window{x};
};

TEST_F(WindowBackendTest, KeysEnterBothKeyStores) {
  struct Case {
    std::vector<std::string> keys;
    std::vector<std::int32_t> events;
    std::string typed;
  };
  const std::vector<Case> cases = {
      {{"3", "Escape"}, {51, -51, 27, -27}, "3\x1b"},
      // xdotool lets go of the modifier first: the letter's release still
      // carries the code of its press.
      {{"shift+a"}, {100304, 65, -100304, -65}, "A"},
      {{"ctrl+b"}, {100306, 98, -100306, -98}, "\x02"},
      {{"alt+x"}, {100308, 120, -100308, -120}, std::string("\0\x2d", 2)},
      {{"Return", "BackSpace", "Tab"}, {13, -13, 8, -8, 9, -9}, "\r\b\t"},
      {{"Up", "F1", "Delete"}, {18432, -18432, 15104, -15104, 21248, -21248}, std::string("\0H\0;\0S", 6)},
      {{"Caps_Lock", "Caps_Lock"}, {100301, -100301}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys.front());
    window.keys(c.keys);
    EXPECT_EQ(events(c.events.size()), c.events);
    EXPECT_EQ(events(1, 0.2), std::vector<std::int32_t>{}) << "more entries than keys";
    EXPECT_EQ(typed(), c.typed);
  }
}

// Typed faster than anything reads them: the keys beyond the typed-key
// buffer's fifteen wait their turn instead of being lost.
TEST_F(WindowBackendTest, MoreKeysThanTheTypedBufferHoldsAllArrive) {
  const std::string name = "north-workshop-store-room-may-2019";
  window.type(name);
  window.keys({"Return"});
  EXPECT_EQ(events(2 * (name.size() + 1)).size(), 2 * (name.size() + 1));
  EXPECT_EQ(typed(), name + "\r");
}

TEST_F(WindowBackendTest, BoxesAreAnsweredInTheWindow) {
  struct Case {
    const char* name;
    bool yes_no;
    std::function<void()> answer;
    bool expected;
  };
  const std::vector<Case> cases = {
      {"Y", true, [this] { window.keys({"y"}); }, true},
      {"N after other keys", true, [this] { window.keys({"a", "Return", "n"}); }, false},
      {"Enter for a message", false, [this] { window.keys({"Return"}); }, true},
      {"the end request", true, [this] { console->request_end(); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::optional<Shot> before = window.shot();
    ASSERT_TRUE(before);
    std::future<bool> answer = std::async(std::launch::async, [&] {
      if (c.yes_no) return console->ask_yes_no("Unhandled Error #5", "An error arose.\nContinue?");
      console->show_message("Out of memory", "The program has run out of memory and must end.");
      return true;
    });
    // The box is drawn over the middle of the screen.
    EXPECT_TRUE(window.wait_for([&](const Shot& s) { return s.count_in_row(12, 0xAAAAAA) != before->count_in_row(12, 0xAAAAAA); }));
    EXPECT_EQ(answer.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    c.answer();
    ASSERT_EQ(answer.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(answer.get(), c.expected);
    // The keys went to the box alone.
    EXPECT_EQ(events(1, 0.2), std::vector<std::int32_t>{});
    EXPECT_EQ(typed(), "");
  }
}

}  // namespace
}  // namespace pat::test

#endif  // PAT_HAVE_WINDOW
