// The Windows console back end against the real console API (under Wine):
// what it draws is read back with ReadConsoleOutputW where the view places
// it, and compared with the grid drawn; keys are injected as input
// records. Needs a console: ctest runs it through `wine-run --console`.
#include "platform/windows/console.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/screens.h"
#include "app/setup_flow.h"
#include "app_harness.h"
#include "runtime/console_screen.h"
#include "memory_console.h"

namespace zq {
namespace {

using test::kDown;
using test::kEnter;
using test::kRight;

constexpr std::uint16_t kWidth = 80;
// Narrower than the window Wine gives: placed in its middle.
constexpr int kNarrowSpared[] = {0};
constexpr ViewLayout kNarrowLayout{60, 20, kNarrowSpared, 0x1F};

// Where the view places the layout in the console's window now.
ViewPlacement placement_of(HANDLE buffer, const ViewLayout& layout = kScreenLayout) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  GetConsoleScreenBufferInfo(buffer, &info);
  return place_view(layout, info.srWindow.Right - info.srWindow.Left + 1, info.srWindow.Bottom - info.srWindow.Top + 1);
}

// The layout's rows as the console shows them, those left out skipped. The
// second cell of a wide character is the console's: the same character
// marked as the trailing half, or on Wine a zero-width space.
std::vector<Cell> read_back(HANDLE buffer, const ViewLayout& layout = kScreenLayout) {
  const ViewPlacement view = placement_of(buffer, layout);
  std::vector<Cell> cells;
  CHAR_INFO row[kWidth];
  for (int v = 0; v < view.rows_shown; ++v) {
    const auto y = static_cast<SHORT>(view.top + v);
    SMALL_RECT region{static_cast<SHORT>(view.left), y, static_cast<SHORT>(view.left + layout.width - 1), y};
    ReadConsoleOutputW(buffer, row, COORD{static_cast<SHORT>(layout.width), 1}, COORD{0, 0}, &region);
    for (int c = 0; c < layout.width; ++c) {
      const bool tail = (row[c].Attributes & COMMON_LVB_TRAILING_BYTE) != 0 || row[c].Char.UnicodeChar == L'\u200B';
      cells.push_back(Cell{tail ? kWideTail : char32_t{row[c].Char.UnicodeChar},
                           static_cast<std::uint16_t>(row[c].Attributes & ~COMMON_LVB_SBCSDBCS)});
    }
  }
  return cells;
}

// The same rows of the grid.
std::vector<Cell> cells_of(const ConsoleGrid& console, const ViewPlacement& view) {
  std::vector<Cell> cells;
  for (int v = 0; v < view.rows_shown; ++v) {
    const auto r = static_cast<std::uint16_t>(layout_row_at(view, v));
    for (std::uint16_t c = 0; c < console.width(); ++c) cells.push_back(console.cell(c, r));
  }
  return cells;
}

INPUT_RECORD size_record() {
  INPUT_RECORD record{};
  record.EventType = WINDOW_BUFFER_SIZE_EVENT;
  return record;
}

// Makes the window `columns` x `rows` and tells the console so, as a
// resize does; false when this console will not let its window change.
bool resize_window(WindowsConsole& console, SHORT columns, SHORT rows) {
  const SMALL_RECT window{0, 0, static_cast<SHORT>(columns - 1), static_cast<SHORT>(rows - 1)};
  SetConsoleScreenBufferSize(console.screen_buffer(), COORD{std::max<SHORT>(columns, 120), std::max<SHORT>(rows, 40)});
  SetConsoleWindowInfo(console.screen_buffer(), TRUE, &window);
  const INPUT_RECORD size = size_record();
  DWORD written = 0;
  FlushConsoleInputBuffer(console.input_handle());
  WriteConsoleInputA(console.input_handle(), &size, 1, &written);
  console.poll_key();
  CONSOLE_SCREEN_BUFFER_INFO info{};
  GetConsoleScreenBufferInfo(console.screen_buffer(), &info);
  return info.srWindow.Right == columns - 1 && info.srWindow.Bottom == rows - 1;
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

std::string row_of(const std::vector<Cell>& cells, std::uint16_t row) {
  std::string text;
  for (std::uint16_t c = 0; c < kWidth; ++c) text.push_back(static_cast<char>(cells[std::size_t{row} * kWidth + c].ch));
  return text;
}

// The attribute of a cell of the layout on the console.
WORD attribute_at(HANDLE buffer, int column, int row) {
  const ViewPlacement view = placement_of(buffer);
  WORD attr = 0;
  DWORD got = 0;
  ReadConsoleOutputAttribute(buffer, &attr, 1,
                             COORD{static_cast<SHORT>(view.left + column), static_cast<SHORT>(view.top + view_row_of(view, row))},
                             &got);
  return attr;
}

HANDLE active_buffer() {
  return CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, 0, nullptr);
}

// The program's screen is the layout, as on a terminal; the buffer is the
// window, with the layout in its middle and the surround's colours around.
TEST(WindowsConsole, LayoutCentredInTheWindow) {
  WindowsConsole console(kNarrowLayout);
  ConsoleScreen screen;
  ASSERT_NE(open_console(screen, console), 0);
  set_color(screen, 14, 1);
  clear_screen(screen);
  present_console(screen);
  CONSOLE_SCREEN_BUFFER_INFO info{};
  ASSERT_TRUE(GetConsoleScreenBufferInfo(console.screen_buffer(), &info));
  EXPECT_EQ(info.dwSize.X, info.srWindow.Right + 1);
  EXPECT_EQ(info.dwSize.Y, info.srWindow.Bottom + 1);
  const int width = info.dwSize.X;
  std::vector<WORD> attrs(std::size_t(width) * std::size_t(info.dwSize.Y));
  DWORD got = 0;
  ReadConsoleOutputAttribute(console.screen_buffer(), attrs.data(), static_cast<DWORD>(attrs.size()), COORD{0, 0}, &got);
  // The layout's cells are the only ones in its colour; as many of the
  // surround's lie left of it as right, above it as below (give or take one).
  const auto first = std::find(attrs.begin(), attrs.end(), 0x1E) - attrs.begin();
  const auto last = attrs.rend() - std::find(attrs.rbegin(), attrs.rend(), 0x1E) - 1;
  EXPECT_EQ(std::count(attrs.begin(), attrs.end(), 0x1E), 60 * 20);
  EXPECT_EQ(std::count(attrs.begin(), attrs.end(), kNarrowLayout.surround_attribute), attrs.size() - 60 * 20);
  EXPECT_LE(std::abs(first % width - (width - 1 - last % width)), 1) << "columns left and right";
  EXPECT_LE(std::abs(first / width - (info.dwSize.Y - 1 - last / width)), 1) << "rows above and below";
  close_console(screen);
}

// Every kind of cell operation, through the console rules, on the real
// console: its cells, cursor and title are the grid's.
// `rows`: the window made 80 x rows first; 0 leaves it as it opened.
void draw_and_read_back(const ViewLayout& layout, SHORT rows) {
  WindowsConsole real(layout);
  ConsoleScreen on_real;
  ASSERT_NE(open_console(on_real, real), 0);
  if (rows != 0 && !resize_window(real, 80, rows)) GTEST_SKIP() << "this console keeps its window as it is";
  ConsoleScreen& s = on_real;
  set_console_title(s, "Drawn");
  set_color(s, 14, 1);
  clear_screen(s);
  locate(s, 30, 10);
  set_color(s, 15, 4);
  print_text(s, "Display\x01\xe9");
  // Letters beyond the code page, and ones two cells wide.
  locate(s, 2, 2);
  print_text(s, "Jeux vid\xC3\xA9o \xD0\x98\xD0\xB3\xD1\x80\xD1\x8B \xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0 x");
  // Past the window's last row: scrolls the whole buffer up by one.
  set_color(s, 0, 3);
  locate(s, static_cast<std::uint16_t>(s.geometry.window_right - 5),
         static_cast<std::uint16_t>(s.geometry.window_bottom));
  print_text(s, "a text that runs past the end of the window");
  locate(s, 3, 4);
  set_cursor_shape(s, 5);
  present_console(on_real);
  const ConsoleGrid& memory = on_real.grid;
  const ViewPlacement view = placement_of(real.screen_buffer(), layout);
  const std::vector<Cell> shown = read_back(real.screen_buffer(), layout);
  EXPECT_TRUE(shown == cells_of(memory, view)) << first_difference(shown, cells_of(memory, view), memory.width());
  EXPECT_EQ(memory.row_text(9).substr(30, 9), "Display\x01?");  // 0xE9 alone is no UTF-8

  CONSOLE_SCREEN_BUFFER_INFO info{};
  ASSERT_TRUE(GetConsoleScreenBufferInfo(real.screen_buffer(), &info));
  EXPECT_EQ(info.dwCursorPosition.X, view.left + 3);
  EXPECT_EQ(info.dwCursorPosition.Y, view.top + view_row_of(view, 4));
  CONSOLE_CURSOR_INFO cursor{};
  ASSERT_TRUE(GetConsoleCursorInfo(real.screen_buffer(), &cursor));
  EXPECT_EQ(cursor.dwSize, 50u);
  EXPECT_TRUE(cursor.bVisible);
  char title[64] = {};
  GetConsoleTitleA(title, sizeof title);
  EXPECT_STREQ(title, "Drawn");
  close_console(on_real);
}

TEST(WindowsConsole, DrawsWhatTheGridHoldsInTheMiddleOfTheWindow) { draw_and_read_back(kNarrowLayout, 0); }
TEST(WindowsConsole, DrawsWhatTheGridHoldsWithRowsLeftOut) { draw_and_read_back(kScreenLayout, 23); }

// The whole program's screens, key for key, on both consoles.
TEST(WindowsConsole, ProgramScreensMatchTheMemoryConsole) {
  const std::vector<std::vector<std::string>> steps = {{}, {kDown, kDown, kEnter}, {kDown, kRight}};
  std::vector<ConsoleGrid> seen_memory;
  std::vector<std::vector<Cell>> seen_real;
  test::TempDir dir;  // one folder for both, which the notice names
  {
    MemoryConsole memory(80, 25);
    test::ScriptedKeys keys;
    for (const auto& step : steps) {
      keys.add(step);
      keys.then([&] { seen_memory.push_back(memory.grid()); });
    }
    AppState app;
    app.config_path = dir.file("zorvikqm.ini");
    run_setup(memory, keys, app);
  }
  ViewPlacement view;
  {
    WindowsConsole real(kScreenLayout);
    test::ScriptedKeys keys;
    for (const auto& step : steps) {
      keys.add(step);
      keys.then([&] {
        view = placement_of(real.screen_buffer());
        seen_real.push_back(read_back(real.screen_buffer()));
      });
    }
    AppState app;
    app.config_path = dir.file("zorvikqm.ini");
    run_setup(real, keys, app);
  }
  ASSERT_EQ(seen_real.size(), steps.size());
  ASSERT_EQ(seen_memory.size(), steps.size());
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const std::vector<Cell> memory = cells_of(seen_memory[i], view);
    EXPECT_TRUE(seen_real[i] == memory) << "after step " << i << ": " << first_difference(seen_real[i], memory, kWidth);
  }
  EXPECT_NE(row_of(seen_real[2], 2).find("Z O R V I K"), std::string::npos);
}

// NO_COLOR: the console's own colours everywhere, the bar and the banner
// in reverse video.
TEST(WindowsConsole, WithoutColoursTheConsolesOwnAndReverseVideo) {
  CONSOLE_SCREEN_BUFFER_INFO user{};
  ASSERT_TRUE(GetConsoleScreenBufferInfo(active_buffer(), &user));
  const WORD own = user.wAttributes & 0xFF;
  _putenv("NO_COLOR=1");
  WindowsConsole console(kScreenLayout);
  ConsoleScreen screen;
  test::ScriptedKeys keys;
  ASSERT_NE(open_console(screen, console), 0);
  _putenv("NO_COLOR=");
  draw_frame(Io{screen, keys}, "notice");
  draw_main_menu(Io{screen, keys}, kEntrySound, kMenuColumn);
  const struct {
    int column, row;
    WORD attr;
  } cases[] = {
      {30, 12, static_cast<WORD>(own | COMMON_LVB_REVERSE_VIDEO)},  // the bar
      {45, 12, static_cast<WORD>(own | COMMON_LVB_REVERSE_VIDEO)},
      {20, 2, static_cast<WORD>(own | COMMON_LVB_REVERSE_VIDEO)},   // the banner
      {30, 10, own},                                                // an entry
      {0, 6, own},                                                  // the frame
      {13, 4, own},                                                 // the shadow
  };
  for (const auto& c : cases) {
    EXPECT_EQ(attribute_at(console.screen_buffer(), c.column, c.row), c.attr) << c.column << "," << c.row;
  }
  close_console(screen);
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
  // The classic console's default: a click would start a selection.
  const DWORD mode_before = ENABLE_PROCESSED_INPUT | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_INSERT_MODE |
                            ENABLE_QUICK_EDIT_MODE | ENABLE_EXTENDED_FLAGS | ENABLE_AUTO_POSITION;
  ASSERT_TRUE(SetConsoleMode(input, mode_before));

  {
    WindowsConsole console(kScreenLayout);
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
    EXPECT_EQ(mode_during, DWORD{ENABLE_PROCESSED_INPUT | ENABLE_WINDOW_INPUT | ENABLE_MOUSE_INPUT |
                                 ENABLE_EXTENDED_FLAGS | ENABLE_AUTO_POSITION});
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
  if (type == FOCUS_EVENT) record.Event.FocusEvent.bSetFocus = TRUE;
  return record;
}

INPUT_RECORD mouse_record(int column, int row, DWORD buttons, DWORD flags = 0) {
  INPUT_RECORD record{};
  record.EventType = MOUSE_EVENT;
  record.Event.MouseEvent.dwMousePosition = COORD{static_cast<SHORT>(column), static_cast<SHORT>(row)};
  record.Event.MouseEvent.dwButtonState = buttons;
  record.Event.MouseEvent.dwEventFlags = flags;
  return record;
}

// A key pressed and let go, as a paste and Wine type every key.
std::vector<INPUT_RECORD> typed(char ch, WORD scan) { return {key_record(true, ch, scan), key_record(false, ch, scan)}; }

// The keys that polls give once the records, all written at once, are read.
std::vector<std::string> keys_of(WindowsConsole& console, const std::vector<INPUT_RECORD>& records) {
  FlushConsoleInputBuffer(console.input_handle());
  DWORD written = 0;
  WriteConsoleInputA(console.input_handle(), records.data(), static_cast<DWORD>(records.size()), &written);
  // Returns at once: records are waiting.
  EXPECT_TRUE(console.wait_for_input());
  std::vector<std::string> keys;
  // Long enough for the input queue to settle what it holds.
  for (int polls = 0; polls < 25; ++polls, Sleep(2)) {
    if (std::string key = console.poll_key(); !key.empty()) {
      keys.push_back(key);
    } else if (const std::optional<MouseEvent> mouse = console.poll_mouse()) {
      constexpr const char* kKinds[] = {"press ", "wheel up ", "wheel down "};
      keys.push_back(kKinds[static_cast<int>(mouse->kind)] + std::to_string(mouse->column) + "," +
                     std::to_string(mouse->row));
    }
  }
  return keys;
}

// Records written at once arrive together: one key each, or a paste.
TEST(WindowsConsole, KeysOfRecords) {
  struct Case {
    const char* what;
    std::vector<INPUT_RECORD> records;
    std::vector<std::string> keys;
  };
  const Case cases[] = {
      {"a letter: down, then up", typed('a', 30), {"a\x1e"}},
      {"Up arrow: no character", {key_record(true, 0, 72)}, {"\xff\x48"}},
      // Wine reports Esc with character 0, Windows with 27.
      {"Esc as Windows sends it", {key_record(true, 27, 1)}, {"\x1b\x01"}},
      {"Esc as Wine sends it", {key_record(true, 0, 1)}, {"\xff\x01"}},
      {"repeat count 3 is one key", {key_record(true, 'x', 45, 3)}, {"x\x2d"}},
      {"extended scan code: its low byte", {key_record(true, 0, 0x148)}, {"\xff\x48"}},
      {"no character and no scan code", {key_record(true, 0, 0)}, {}},
      {"mouse, focus and menu records",
       {event_record(MOUSE_EVENT), event_record(FOCUS_EVENT), event_record(MENU_EVENT), key_record(true, 'y', 21)},
       {"y\x15"}},
      {"a size record", {size_record(), key_record(true, 'n', 49)}, {"n\x31"}},
      {"a paste of y, Enter and Esc",
       {key_record(true, 'y', 21), key_record(false, 'y', 21), key_record(true, '\r', 28), key_record(true, 0, 1)},
       {}},
      {"a paste of yy", {key_record(true, 'y', 21), key_record(false, 'y', 21), key_record(true, 'y', 21)}, {}},
      {"Down, Down and Enter read at once",
       {key_record(true, 0, 80), key_record(false, 0, 80), key_record(true, 0, 80), key_record(true, '\r', 28)},
       {"\xff\x50", "\xff\x50", "\r\x1c"}},
  };
  WindowsConsole console(kScreenLayout);
  ScreenGeometry geometry;
  ASSERT_TRUE(console.create(geometry)) << console.error();
  for (const Case& c : cases) EXPECT_EQ(keys_of(console, c.records), c.keys) << c.what;
  console.release();
}

// Mouse records become events on the layout's cells, wherever the window
// places it: the left button going down (a double click's second too), and
// the wheel; not releases, moves, other buttons or cells off the layout.
// Clicks then select, open and change as their keys do.
TEST(WindowsConsole, MouseRecordsOnTheLayoutsCells) {
  WindowsConsole console(kScreenLayout);
  ScreenGeometry geometry;
  ASSERT_TRUE(console.create(geometry)) << console.error();
  ViewPlacement view;
  for (const SHORT columns : {SHORT{0}, SHORT{120}}) {
    if (columns != 0 && !resize_window(console, columns, 40)) continue;
    view = placement_of(console.screen_buffer());
    const int x = view.left + 35, y = view.top + 12;
    constexpr DWORD kLeft = FROM_LEFT_1ST_BUTTON_PRESSED;
    const std::vector<std::string> presses = {"press 35,12", "press 35,12"};
    EXPECT_EQ(keys_of(console, {mouse_record(x, y, kLeft), mouse_record(x, y, 0), mouse_record(x, y, kLeft, DOUBLE_CLICK),
                                mouse_record(x, y, 0)}),
              presses) << columns;
    EXPECT_EQ(keys_of(console, {mouse_record(x, y, RIGHTMOST_BUTTON_PRESSED), mouse_record(x, y, 0),
                                mouse_record(x, y, FROM_LEFT_2ND_BUTTON_PRESSED), mouse_record(x + 1, y, kLeft, MOUSE_MOVED),
                                mouse_record(view.left - 1, y, 0), mouse_record(view.left - 1, y, kLeft)}),
              std::vector<std::string>{}) << columns;
    EXPECT_EQ(keys_of(console, {mouse_record(x, y, 0x00780000, MOUSE_WHEELED), mouse_record(x, y, 0xFF880000, MOUSE_WHEELED)}),
              (std::vector<std::string>{"wheel up 35,12", "wheel down 35,12"})) << columns;
  }

  // Then the program, in the window as it is now: Sound clicked twice, then
  // the > of its first row. The music volume wraps from 10 to 0.
  std::vector<INPUT_RECORD> clicks;
  for (const auto& [column, row] : {std::pair{35, 12}, {35, 12}, {43, 8}}) {
    clicks.push_back(mouse_record(view.left + column, view.top + row, FROM_LEFT_1ST_BUTTON_PRESSED));
    clicks.push_back(mouse_record(view.left + column, view.top + row, 0));
  }
  DWORD written = 0;
  WriteConsoleInputA(console.input_handle(), clicks.data(), static_cast<DWORD>(clicks.size()), &written);
  struct ThenEnd : KeySource {  // the console's input, ended once it has been quiet a while
    WindowsConsole& real;
    int waits = 0;
    explicit ThenEnd(WindowsConsole& c) : real(c) {}
    std::string poll_key() override { return real.poll_key(); }
    std::optional<MouseEvent> poll_mouse() override { return real.poll_mouse(); }
    bool wait_for_input() override { return Sleep(5), ++waits < 20; }
  } keys(console);
  test::TempDir dir;
  AppState app;
  app.config_path = dir.file("zorvikqm.ini");
  console.release();
  EXPECT_EQ(run_setup(console, keys, app), SetupEnd::InputEnded);
  EXPECT_EQ(app.settings.playmusic, 0);
}

// After a size record and Ctrl+L the next frame writes the whole window
// anew from the grid, whatever else scribbled over it.
TEST(WindowsConsole, SizeRecordAndCtrlLRedraw) {
  WindowsConsole console(kNarrowLayout);
  ConsoleScreen screen;
  ASSERT_NE(open_console(screen, console), 0);
  set_color(screen, 14, 1);
  clear_screen(screen);
  locate(screen, 2, 3);
  print_text(screen, "kept");
  present_console(screen);
  for (const INPUT_RECORD& record : {size_record(), key_record(true, 12, 38)}) {
    DWORD written = 0;
    FillConsoleOutputCharacterA(console.screen_buffer(), '#', 0xFFFF, COORD{0, 0}, &written);
    EXPECT_EQ(keys_of(console, {record}), std::vector<std::string>{});
    present_console(screen);
    const ViewPlacement view = placement_of(console.screen_buffer(), kNarrowLayout);
    char back[5] = {};
    ReadConsoleOutputCharacterA(console.screen_buffer(), back, 4, COORD{static_cast<SHORT>(view.left + 2),
                                static_cast<SHORT>(view.top + 3)}, &written);
    EXPECT_STREQ(back, "kept") << record.EventType;
    ReadConsoleOutputCharacterA(console.screen_buffer(), back, 4, COORD{0, 0}, &written);
    EXPECT_STREQ(back, "    ") << record.EventType;
  }
  close_console(screen);
}

// A window too small for the layout shows the request to enlarge it and
// drops keys pressed blind; grown again, it shows the layout.
TEST(WindowsConsole, SmallWindowAsksToBeEnlarged) {
  WindowsConsole console(kScreenLayout);
  ConsoleScreen screen;
  ASSERT_NE(open_console(screen, console), 0);
  locate(screen, 2, 3);
  print_text(screen, "kept");
  CONSOLE_SCREEN_BUFFER_INFO full{};
  GetConsoleScreenBufferInfo(console.screen_buffer(), &full);
  if (!resize_window(console, 60, 20)) {
    close_console(screen);
    GTEST_SKIP() << "this console does not let its window shrink";
  }
  present_console(screen);
  EXPECT_EQ(keys_of(console, typed('y', 21)), std::vector<std::string>{}) << "a key pressed while the layout is hidden";
  // Wrapped to the window, as on a terminal.
  std::string request[2];
  DWORD written = 0;
  for (SHORT row = 0; row < 2; ++row) {
    char cells[61] = {};
    ReadConsoleOutputCharacterA(console.screen_buffer(), cells, 60, COORD{0, row}, &written);
    request[row] = cells;
  }
  EXPECT_EQ(request[0], "Please enlarge the window to at least 80x23 (now 60x20).    ");
  EXPECT_EQ(request[1].substr(0, 27), "Ctrl+C leaves the program. ");

  ASSERT_TRUE(resize_window(console, static_cast<SHORT>(full.srWindow.Right + 1),
                            static_cast<SHORT>(full.srWindow.Bottom + 1)));
  EXPECT_EQ(keys_of(console, typed('y', 21)), std::vector<std::string>{"y\x15"});
  present_console(screen);
  const ViewPlacement view = placement_of(console.screen_buffer());
  char back[5] = {};
  ReadConsoleOutputCharacterA(console.screen_buffer(), back, 4, COORD{static_cast<SHORT>(view.left + 2),
                              static_cast<SHORT>(view.top + 3)}, &written);
  EXPECT_STREQ(back, "kept");
  close_console(screen);
}

}  // namespace
}  // namespace zq
