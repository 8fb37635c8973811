// The Windows console back end against the real console API (under Wine):
// what it draws is read back with ReadConsoleOutputCharacterA and
// ReadConsoleOutputAttribute and compared with the in-memory console; keys
// are injected as input records. Needs a console: ctest runs it through
// `wine-run --console`.
#include "platform/windows/console.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/setup_flow.h"
#include "app_harness.h"
#include "platform/windows/display_text.h"
#include "runtime/console_screen.h"
#include "runtime/memory_console.h"

namespace zq {
namespace {

using test::kDown;
using test::kEnter;
using test::kRight;

// Every cell of a console buffer, row by row.
std::vector<Cell> read_back(HANDLE buffer, std::uint16_t width, std::uint16_t height) {
  std::vector<Cell> cells;
  std::vector<char> chars(width);
  std::vector<WORD> attrs(width);
  for (std::uint16_t r = 0; r < height; ++r) {
    DWORD got = 0;
    const COORD at{0, static_cast<SHORT>(r)};
    ReadConsoleOutputCharacterA(buffer, chars.data(), width, at, &got);
    ReadConsoleOutputAttribute(buffer, attrs.data(), width, at, &got);
    for (std::uint16_t c = 0; c < width; ++c) {
      cells.push_back(Cell{static_cast<unsigned char>(chars[c]), attrs[c]});
    }
  }
  return cells;
}

std::vector<Cell> cells_of(const MemoryConsole& console) {
  std::vector<Cell> cells;
  for (std::uint16_t r = 0; r < console.height(); ++r) {
    for (std::uint16_t c = 0; c < console.width(); ++c) cells.push_back(console.cell(c, r));
  }
  return cells;
}

// Where two buffers of that width first differ, for failure messages.
std::string first_difference(const std::vector<Cell>& real, const std::vector<Cell>& memory, std::uint16_t width) {
  if (real.size() != memory.size()) return "sizes differ";
  for (std::size_t i = 0; i < real.size(); ++i) {
    if (real[i] == memory[i]) continue;
    return "column " + std::to_string(i % width) + ", row " + std::to_string(i / width) + ": console {" +
           std::to_string(real[i].ch) + ", " + std::to_string(real[i].attr) + "}, memory {" +
           std::to_string(memory[i].ch) + ", " + std::to_string(memory[i].attr) + "}";
  }
  return "none";
}

std::string row_of(const std::vector<Cell>& cells, std::uint16_t width, std::uint16_t row) {
  std::string text;
  for (std::uint16_t c = 0; c < width; ++c) text.push_back(static_cast<char>(cells[std::size_t{row} * width + c].ch));
  return text;
}

// The size the console back end picks for this window.
ScreenGeometry console_geometry() {
  WindowsConsole console;
  ScreenGeometry geometry;
  EXPECT_TRUE(console.create(geometry)) << console.error();
  console.release();
  return geometry;
}

HANDLE active_buffer() {
  return CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, 0, nullptr);
}

TEST(WindowsConsole, BufferIsTheWindowsSizeAndAtLeastTheLayout) {
  WindowsConsole console;
  ScreenGeometry geometry;
  ASSERT_TRUE(console.create(geometry)) << console.error();
  CONSOLE_SCREEN_BUFFER_INFO info{};
  ASSERT_TRUE(GetConsoleScreenBufferInfo(console.screen_buffer(), &info));
  EXPECT_GE(geometry.buffer_width, 80);
  EXPECT_GE(geometry.buffer_height, 25);
  EXPECT_EQ(info.dwSize.X, geometry.buffer_width);
  EXPECT_EQ(info.dwSize.Y, geometry.buffer_height);
  // The window shows the buffer from its top: the layout is in view.
  EXPECT_EQ(info.srWindow.Left, 0);
  EXPECT_EQ(info.srWindow.Top, 0);
  console.release();
}

// Every kind of cell operation, through the console rules, on the real
// console and on the in-memory one: the cells, cursor and title agree.
TEST(WindowsConsole, DrawsWhatTheMemoryConsoleHolds) {
  const ScreenGeometry size = console_geometry();
  WindowsConsole real;
  MemoryConsole memory(size.buffer_width, size.buffer_height);
  ConsoleScreen on_real;
  ConsoleScreen on_memory;
  ASSERT_NE(open_console(on_real, real), 0);
  ASSERT_NE(open_console(on_memory, memory), 0);
  for (ConsoleScreen* s : {&on_real, &on_memory}) {
    set_console_title(*s, "Drawn");
    set_color(*s, 14, 1);
    clear_screen(*s);
    locate(*s, 30, 10);
    set_color(*s, 15, 4);
    print_text(*s, "Display\x01\xe9");
    // Past the window's last row: scrolls the whole buffer up by one.
    set_color(*s, 0, 3);
    locate(*s, static_cast<std::uint16_t>(s->geometry.window_right - 5),
           static_cast<std::uint16_t>(s->geometry.window_bottom));
    print_text(*s, "a text that runs past the end of the window");
    locate(*s, 3, 4);
    set_cursor_shape(*s, 5);
  }
  const std::vector<Cell> shown = read_back(real.screen_buffer(), size.buffer_width, size.buffer_height);
  EXPECT_TRUE(shown == cells_of(memory)) << first_difference(shown, cells_of(memory), size.buffer_width);
  EXPECT_EQ(row_of(cells_of(memory), size.buffer_width, 9).substr(30, 9), "Display\x01\xe9");

  CONSOLE_SCREEN_BUFFER_INFO info{};
  ASSERT_TRUE(GetConsoleScreenBufferInfo(real.screen_buffer(), &info));
  EXPECT_EQ(info.dwCursorPosition.X, 3);
  EXPECT_EQ(info.dwCursorPosition.Y, 4);
  CONSOLE_CURSOR_INFO cursor{};
  ASSERT_TRUE(GetConsoleCursorInfo(real.screen_buffer(), &cursor));
  EXPECT_EQ(cursor.dwSize, 50u);
  EXPECT_TRUE(cursor.bVisible);
  char title[64] = {};
  GetConsoleTitleA(title, sizeof title);
  EXPECT_STREQ(title, "Drawn");
  close_console(on_real);
  close_console(on_memory);
}

// The whole program's screens, key for key, on both consoles.
TEST(WindowsConsole, ProgramScreensMatchTheMemoryConsole) {
  const ScreenGeometry size = console_geometry();
  const std::vector<std::vector<std::string>> steps = {{}, {kDown, kDown, kEnter}, {kDown, kRight}};
  std::vector<std::vector<Cell>> seen_memory;
  std::vector<std::vector<Cell>> seen_real;
  test::TempDir dir;  // one folder for both, which the notice names
  {
    MemoryConsole memory(size.buffer_width, size.buffer_height);
    test::ScriptedKeys keys;
    for (const auto& step : steps) {
      keys.add(step);
      keys.then([&] { seen_memory.push_back(cells_of(memory)); });
    }
    AppState app;
    app.config_path = dir.file("zorvikqm.ini");
    run_setup(memory, keys, app);
  }
  {
    WindowsConsole real;
    test::ScriptedKeys keys;
    for (const auto& step : steps) {
      keys.add(step);
      keys.then([&] { seen_real.push_back(read_back(real.screen_buffer(), size.buffer_width, size.buffer_height)); });
    }
    AppState app;
    app.config_path = dir.file("zorvikqm.ini");
    run_setup(real, keys, app);
  }
  ASSERT_EQ(seen_real.size(), steps.size());
  ASSERT_EQ(seen_memory.size(), steps.size());
  for (std::size_t i = 0; i < steps.size(); ++i) {
    EXPECT_TRUE(seen_real[i] == seen_memory[i])
        << "after step " << i << ": " << first_difference(seen_real[i], seen_memory[i], size.buffer_width);
  }
  EXPECT_NE(row_of(seen_real[2], size.buffer_width, 2).find("Z O R V I K"), std::string::npos);
}

// The user's buffer, title and input mode are as they were after the run,
// and untouched during it: the program draws into a buffer of its own.
TEST(WindowsConsole, LeavesTheUsersConsoleAsItWas) {
  HANDLE user = active_buffer();
  ASSERT_NE(user, INVALID_HANDLE_VALUE);
  HANDLE input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
  DWORD written = 0;
  WriteConsoleOutputCharacterA(user, "user text", 9, COORD{0, 0}, &written);
  FillConsoleOutputAttribute(user, 0x1E, 9, COORD{0, 0}, &written);
  SetConsoleTitleW(L"Before \u0416");  // outside the console's code page
  DWORD mode_before = 0;
  GetConsoleMode(input, &mode_before);

  {
    WindowsConsole console;
    ConsoleScreen screen;
    ASSERT_NE(open_console(screen, console), 0);
    set_console_title(screen, "During");
    set_color(screen, 14, 1);
    clear_screen(screen);
    HANDLE shown = active_buffer();
    char during[10] = {};
    ReadConsoleOutputCharacterA(shown, during, 9, COORD{0, 0}, &written);
    CloseHandle(shown);
    EXPECT_STRNE(during, "user text");
    DWORD mode_during = 0;
    GetConsoleMode(input, &mode_during);
    EXPECT_NE(mode_during & ENABLE_WINDOW_INPUT, 0u);
    EXPECT_EQ(mode_during & (ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT), 0u);
    close_console(screen);
  }

  HANDLE shown = active_buffer();
  char after[10] = {};
  WORD attrs[9] = {};
  ReadConsoleOutputCharacterA(shown, after, 9, COORD{0, 0}, &written);
  ReadConsoleOutputAttribute(shown, attrs, 9, COORD{0, 0}, &written);
  CloseHandle(shown);
  EXPECT_STREQ(after, "user text");
  EXPECT_EQ(attrs[0], 0x1E);
  wchar_t title[64] = {};
  GetConsoleTitleW(title, 64);
  EXPECT_STREQ(title, L"Before \u0416");
  DWORD mode_after = 0;
  GetConsoleMode(input, &mode_after);
  EXPECT_EQ(mode_after, mode_before);
  CloseHandle(input);
  CloseHandle(user);
}

INPUT_RECORD key_record(bool down, char ch, WORD scan, WORD repeat = 1) {
  INPUT_RECORD record{};
  record.EventType = KEY_EVENT;
  record.Event.KeyEvent.bKeyDown = down ? TRUE : FALSE;
  record.Event.KeyEvent.wRepeatCount = repeat;
  record.Event.KeyEvent.wVirtualScanCode = scan;
  record.Event.KeyEvent.uChar.AsciiChar = ch;
  return record;
}

INPUT_RECORD event_record(WORD type) {
  INPUT_RECORD record{};
  record.EventType = type;
  if (type == WINDOW_BUFFER_SIZE_EVENT) record.Event.WindowBufferSizeEvent.dwSize = COORD{80, 25};
  if (type == FOCUS_EVENT) record.Event.FocusEvent.bSetFocus = TRUE;
  return record;
}

// One record per poll: the poll after the records ran out gives nothing.
TEST(WindowsConsole, EachPollTakesOneRecord) {
  struct Case {
    const char* what;
    std::vector<INPUT_RECORD> records;
    std::vector<std::string> polls;
  };
  const Case cases[] = {
      {"a letter: down, then up", {key_record(true, 'a', 30), key_record(false, 'a', 30)}, {"a\x1e", "", ""}},
      {"Up arrow: no character", {key_record(true, 0, 72)}, {"\xff\x48", ""}},
      // Wine reports Esc with character 0, Windows with 27.
      {"Esc as Windows sends it", {key_record(true, 27, 1)}, {"\x1b\x01", ""}},
      {"Esc as Wine sends it", {key_record(true, 0, 1)}, {"\xff\x01", ""}},
      {"repeat count 3 is one key", {key_record(true, 'x', 45, 3)}, {"x\x2d", ""}},
      {"extended scan code: its low byte", {key_record(true, 0, 0x148)}, {"\xff\x48", ""}},
      {"no character and no scan code", {key_record(true, 0, 0)}, {"", ""}},
      {"mouse, focus and menu records",
       {event_record(MOUSE_EVENT), event_record(FOCUS_EVENT), event_record(MENU_EVENT), key_record(true, 'y', 21)},
       {"", "", "", "y\x15", ""}},
      {"a size record", {event_record(WINDOW_BUFFER_SIZE_EVENT), key_record(true, 'n', 49)}, {"", "n\x31", ""}},
  };
  WindowsConsole console;
  ScreenGeometry geometry;
  ASSERT_TRUE(console.create(geometry)) << console.error();
  for (const Case& c : cases) {
    FlushConsoleInputBuffer(console.input_handle());
    DWORD written = 0;
    ASSERT_TRUE(WriteConsoleInputA(console.input_handle(), c.records.data(), static_cast<DWORD>(c.records.size()),
                                   &written));
    for (std::size_t i = 0; i < c.polls.size(); ++i) {
      // Waits on the input handle; returns at once while records wait.
      if (i + 1 < c.polls.size()) {
        EXPECT_TRUE(console.wait_for_input()) << c.what;
      }
      EXPECT_EQ(console.poll_key(), c.polls[i]) << c.what << ", poll " << i;
    }
  }
  console.release();
}

// A size record redraws the whole layout from the in-memory truth.
TEST(WindowsConsole, SizeRecordRedraws) {
  WindowsConsole console;
  ConsoleScreen screen;
  ASSERT_NE(open_console(screen, console), 0);
  set_color(screen, 14, 1);
  clear_screen(screen);
  locate(screen, 2, 3);
  print_text(screen, "kept");
  // Something else scribbles over the buffer; the size record repaints it.
  DWORD written = 0;
  FillConsoleOutputCharacterA(console.screen_buffer(), '#', 400, COORD{0, 0}, &written);
  const INPUT_RECORD size = event_record(WINDOW_BUFFER_SIZE_EVENT);
  FlushConsoleInputBuffer(console.input_handle());
  WriteConsoleInputA(console.input_handle(), &size, 1, &written);
  EXPECT_EQ(console.poll_key(), "");
  char back[5] = {};
  ReadConsoleOutputCharacterA(console.screen_buffer(), back, 4, COORD{2, 3}, &written);
  EXPECT_STREQ(back, "kept");
  ReadConsoleOutputCharacterA(console.screen_buffer(), back, 4, COORD{0, 0}, &written);
  EXPECT_STREQ(back, "    ");
  close_console(screen);
}

// A window too small for the layout shows the request to enlarge it and
// drops keys pressed blind; grown again, it shows the layout.
TEST(WindowsConsole, SmallWindowAsksToBeEnlarged) {
  WindowsConsole console;
  ConsoleScreen screen;
  ASSERT_NE(open_console(screen, console), 0);
  locate(screen, 2, 3);
  print_text(screen, "kept");
  CONSOLE_SCREEN_BUFFER_INFO full{};
  GetConsoleScreenBufferInfo(console.screen_buffer(), &full);
  const SMALL_RECT small{0, 0, 59, 19};
  SetConsoleWindowInfo(console.screen_buffer(), TRUE, &small);
  CONSOLE_SCREEN_BUFFER_INFO info{};
  GetConsoleScreenBufferInfo(console.screen_buffer(), &info);
  if (info.srWindow.Right != 59 || info.srWindow.Bottom != 19) {
    close_console(screen);
    GTEST_SKIP() << "this console does not let its window shrink";
  }
  const INPUT_RECORD records[] = {event_record(WINDOW_BUFFER_SIZE_EVENT), key_record(true, 'y', 21)};
  DWORD written = 0;
  FlushConsoleInputBuffer(console.input_handle());
  WriteConsoleInputA(console.input_handle(), records, 2, &written);
  EXPECT_EQ(console.poll_key(), "");
  EXPECT_EQ(console.poll_key(), "") << "a key pressed while the layout is hidden";
  // Wrapped to the window, as on a terminal.
  std::string request[2];
  for (SHORT row = 0; row < 2; ++row) {
    char cells[61] = {};
    ReadConsoleOutputCharacterA(console.screen_buffer(), cells, 60, COORD{0, row}, &written);
    request[row] = cells;
  }
  EXPECT_EQ(request[0], "Please enlarge the window to at least 80x24 (now 60x20).    ");
  EXPECT_EQ(request[1].substr(0, 27), "Ctrl+C leaves the program. ");

  SetConsoleWindowInfo(console.screen_buffer(), TRUE, &full.srWindow);
  WriteConsoleInputA(console.input_handle(), records, 2, &written);
  EXPECT_EQ(console.poll_key(), "");
  EXPECT_EQ(console.poll_key(), "y\x15");
  char back[5] = {};
  ReadConsoleOutputCharacterA(console.screen_buffer(), back, 4, COORD{2, 3}, &written);
  EXPECT_STREQ(back, "kept");
  close_console(screen);
}

// A system text's letters as the console's code page holds them, one byte
// each; none where it has no letter for them or takes more than one byte.
TEST(WindowsConsole, LettersOfTheCodePage) {
  const struct {
    char32_t c;
    unsigned code_page;
    unsigned char shown;
  } cases[] = {
      {U'\u00E8', 850, 0x8A}, {U'\u00E8', 1252, 0xE8}, {U'\u0151', 1252, 'o'},  // the last one a best fit
      {U'\u4E2D', 850, 0},    {U'\u00E8', 932, 0},     {U'\u00E8', 65001, 0},
      {U'\u263A', 437, 0},  // a face in 437, but at the control byte 1
  };
  for (const auto& c : cases) {
    EXPECT_EQ(console_letter(c.c, c.code_page), c.shown)
        << std::hex << static_cast<std::uint32_t>(c.c) << " in " << std::dec << c.code_page;
  }
}

}  // namespace
}  // namespace zq
