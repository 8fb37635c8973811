#include "runtime/console_screen.h"

#include <gtest/gtest.h>

#include <string>

#include "memory_console.h"

namespace zq {
namespace {

// A memory console that may report a window smaller than its buffer, as a
// console with a scrollback does.
class WindowedConsole : public MemoryConsole {
 public:
  WindowedConsole(std::uint16_t width, std::uint16_t height, std::uint16_t window_width = 0,
                  std::uint16_t window_height = 0)
      : MemoryConsole(width, height), window_width_(window_width), window_height_(window_height) {}

  bool create(ScreenGeometry& g) override {
    if (!MemoryConsole::create(g)) return false;
    if (window_width_ != 0) {
      g.window_right = static_cast<std::uint16_t>(window_width_ - 1);
      g.window_bottom = static_cast<std::uint16_t>(window_height_ - 1);
      g.max_window_width = window_width_;
      g.max_window_height = window_height_;
    }
    return true;
  }

 private:
  std::uint16_t window_width_;
  std::uint16_t window_height_;
};

// Bytes 'A', 'B', ... so that every byte of a printed text is told apart.
std::string pattern(std::size_t n) {
  std::string s(n, ' ');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>('A' + i % 26);
  return s;
}

// Marks every row with its own letter (row 0 'a', row 1 'b', ...).
void mark_rows(ConsoleGrid& grid) {
  for (std::uint16_t r = 0; r < grid.height(); ++r) {
    grid.write_characters(std::u32string(grid.width(), static_cast<char32_t>('a' + r % 26)), CellPos{0, r});
  }
}

struct PrintCase {
  const char* name;
  std::uint16_t column, row;  // cursor before the print
  std::size_t length;         // bytes in the text
  int scrolls;                // rows the buffer scrolls up
  std::uint16_t text_column, text_row;  // where the first byte lands
  std::uint16_t end_column, end_row;    // cursor afterwards
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const PrintCase& c, std::ostream* os) { *os << c.name; }

class PrintText : public testing::TestWithParam<PrintCase> {};

TEST_P(PrintText, ScrollsWritesAndAdvances) {
  const PrintCase& c = GetParam();
  WindowedConsole device(80, 25);
  ConsoleScreen screen;
  ASSERT_EQ(open_console(screen, device), 7);
  const ConsoleGrid& grid = screen.grid;
  mark_rows(screen.grid);
  set_color(screen, 15, 4);
  locate(screen, c.column, c.row);

  const std::string text = pattern(c.length);
  print_text(screen, text);

  // Row 0 holds the row that was `scrolls` rows below it.
  if (c.text_row > 0) {
    EXPECT_EQ(grid.cell(0, 0).ch, static_cast<char32_t>('a' + c.scrolls));
  }
  const std::size_t written = std::min<std::size_t>(c.length, 250);
  const std::size_t first = std::size_t{c.text_row} * 80 + c.text_column;
  for (std::size_t i = 0; i < written; ++i) {
    const Cell cell = grid.cell(static_cast<std::uint16_t>((first + i) % 80), static_cast<std::uint16_t>((first + i) / 80));
    ASSERT_EQ(cell, (Cell{static_cast<char32_t>(text[i]), 79})) << "byte " << i;
  }
  // The cell just after the text keeps what the rows held (shifted by the scroll).
  const std::size_t after = first + written;
  if (after < 80 * 25) {
    const auto row = static_cast<std::uint16_t>(after / 80);
    const Cell expected = row + c.scrolls >= 25 ? Cell{' ', 79}
                                                : Cell{static_cast<char32_t>('a' + (row + c.scrolls) % 26), 7};
    EXPECT_EQ(grid.cell(static_cast<std::uint16_t>(after % 80), row), expected);
  }
  EXPECT_EQ(screen.geometry.cursor_column, c.end_column);
  EXPECT_EQ(screen.geometry.cursor_row, c.end_row);
  EXPECT_EQ(grid.cursor().column, c.end_column);
  EXPECT_EQ(grid.cursor().row, c.end_row);
}

INSTANTIATE_TEST_SUITE_P(
    Window80x25, PrintText,
    testing::Values(
        PrintCase{"help_line_on_bottom_row", 0, 24, 72, 0, 0, 24, 72, 24},
        PrintCase{"ends_left_of_edge_on_bottom_row", 0, 24, 79, 0, 0, 24, 79, 24},
        PrintCase{"ends_at_edge_above_bottom", 70, 10, 10, 0, 70, 10, 0, 11},
        PrintCase{"reaches_edge_on_bottom_row", 70, 24, 10, 1, 70, 23, 0, 24},
        PrintCase{"runs_past_edge_on_bottom_row", 70, 24, 20, 1, 70, 23, 10, 24},
        PrintCase{"needs_two_rows_of_room", 0, 24, 200, 2, 0, 22, 40, 24},
        PrintCase{"wraps_rows_in_the_middle", 40, 5, 100, 0, 40, 5, 60, 6},
        PrintCase{"capped_at_250_bytes", 0, 0, 300, 0, 0, 0, 10, 3},
        PrintCase{"exactly_250_bytes", 0, 0, 250, 0, 0, 0, 10, 3},
        PrintCase{"one_byte_at_last_cell", 79, 24, 1, 1, 79, 23, 0, 24},
        PrintCase{"one_byte_left_of_last_cell", 78, 24, 1, 0, 78, 24, 79, 24}),
    [](const testing::TestParamInfo<PrintCase>& info) { return std::string(info.param.name); });

TEST(PrintText, ScrollMovesEveryRowUpAndBlanksTheLastInTheCurrentColour) {
  WindowedConsole device(80, 25);
  ConsoleScreen screen;
  open_console(screen, device);
  const ConsoleGrid& grid = screen.grid;
  mark_rows(screen.grid);
  set_color(screen, 14, 1);
  locate(screen, 75, 24);
  print_text(screen, "12345");
  for (std::uint16_t r = 0; r < 23; ++r) EXPECT_EQ(grid.row_text(r), std::string(80, char('a' + r + 1))) << r;
  EXPECT_EQ(grid.row_text(23, 0, 75), std::string(75, 'y'));
  EXPECT_EQ(grid.row_text(23, 75), "12345");
  EXPECT_EQ(grid.row_text(24), std::string(80, ' '));
  EXPECT_EQ(grid.cell(0, 24).attr, 30);
  EXPECT_EQ(grid.cell(0, 23).attr, 7);
}

TEST(PrintText, ScrollsTheWholeBufferAndAdvancesByBufferWidth) {
  // Buffer 100x30 behind an 80x25 window: the scroll takes all 30 rows and
  // the text and the cursor run on to the buffer's right edge, not the window's.
  WindowedConsole device(100, 30, 80, 25);
  ConsoleScreen screen;
  open_console(screen, device);
  const ConsoleGrid& grid = screen.grid;
  mark_rows(screen.grid);
  locate(screen, 70, 24);
  print_text(screen, pattern(20));
  EXPECT_EQ(grid.row_text(0, 0, 5), "bbbbb");  // scrolled once
  EXPECT_EQ(grid.row_text(23, 70, 20), pattern(20));
  EXPECT_EQ(grid.row_text(24, 0, 5), "zzzzz");  // old row 25 moved up
  EXPECT_EQ(grid.row_text(28), std::string(100, 'd'));
  EXPECT_EQ(grid.row_text(29), std::string(100, ' '));
  EXPECT_EQ(screen.geometry.cursor_column, 90);
  EXPECT_EQ(screen.geometry.cursor_row, 23);
}

TEST(PrintText, ControlBytesOccupyACellAndTextEndsAtNul) {
  WindowedConsole device(80, 25);
  ConsoleScreen screen;
  open_console(screen, device);
  const ConsoleGrid& grid = screen.grid;
  locate(screen, 5, 5);
  print_text(screen, std::string_view("a\rb\nc\x1b\0zz", 9));
  EXPECT_EQ(grid.row_text(5, 5, 7), std::string("a\rb\nc\x1b "));
  EXPECT_EQ(screen.geometry.cursor_column, 11);
  EXPECT_EQ(screen.geometry.cursor_row, 5);
}

// A cell holds a character of the UTF-8 text, two cells a wide one; the cap
// of 250 cells and the row's end never split one.
TEST(PrintText, EachCharacterTakesItsCells) {
  const struct {
    std::uint16_t column, row;
    std::string text;
    std::u32string cells;  // from (column, row) on
    std::uint16_t end_column, end_row;
  } cases[] = {
      {0, 5, "Jeux vid\xC3\xA9o", U"Jeux vid\u00E9o", 10, 5},
      {0, 5, "\xD0\x98\xD0\xB3\xD1\x80\xD1\x8B", U"\u0418\u0433\u0440\u044B", 4, 5},
      {0, 5, "\xE0\xB8\xA0\xE0\xB8\xB2\xE0\xB8\xA9\xE0\xB8\xB2", U"\u0E20\u0E32\u0E29\u0E32", 4, 5},
      {0, 5, "\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0 \xE3\x83\x95",
       std::u32string{U'\u30B2', kWideTail, U'\u30FC', kWideTail, U'\u30E0', kWideTail, U' ', U'\u30D5', kWideTail}, 9, 5},
      {0, 5, "\xE9t\xE9", U"?t?", 3, 5},  // Latin-1 bytes, not UTF-8
      // Across a row's end: the character is cut in two, and its halves blanked.
      {79, 5, "\xE6\x97\xA5x", U"  x", 2, 6},
      // 249 cells and a wide character: the cap leaves it out.
      {0, 0, std::string(249, 'a') + "\xE6\x97\xA5", std::u32string(249, U'a') + U" ", 9, 3},
  };
  for (const auto& c : cases) {
    WindowedConsole device(80, 25);
    ConsoleScreen screen;
    open_console(screen, device);
    const ConsoleGrid& grid = screen.grid;
    locate(screen, c.column, c.row);
    print_text(screen, c.text);
    const std::size_t first = std::size_t{c.row} * 80 + c.column;
    for (std::size_t i = 0; i < c.cells.size(); ++i) {
      const auto at = first + i;
      EXPECT_EQ(grid.cell(static_cast<std::uint16_t>(at % 80), static_cast<std::uint16_t>(at / 80)).ch, c.cells[i])
          << c.text << ", cell " << i;
    }
    EXPECT_EQ(grid.cursor().column, c.end_column) << c.text;
    EXPECT_EQ(grid.cursor().row, c.end_row) << c.text;
  }
}

TEST(PrintText, EmptyTextChangesNothing) {
  WindowedConsole device(80, 25);
  ConsoleScreen screen;
  open_console(screen, device);
  const ConsoleGrid& grid = screen.grid;
  locate(screen, 3, 4);
  const auto writes = grid.cell_writes();
  print_text(screen, "");
  print_text(screen, std::string_view("\0abc", 4));
  EXPECT_EQ(grid.cell_writes(), writes);
  EXPECT_EQ(grid.cursor().column, 3);
  EXPECT_EQ(grid.cursor().row, 4);
}

TEST(PrintText, ARejectedLocateLeavesTheCursorForTheNextPrint) {
  WindowedConsole device(80, 25);
  ConsoleScreen screen;
  open_console(screen, device);
  const ConsoleGrid& grid = screen.grid;
  locate(screen, 2, 3);
  EXPECT_EQ(locate(screen, 80, 0), 0);
  EXPECT_EQ(locate(screen, 0, 25), 0);
  print_text(screen, "x");
  EXPECT_EQ(grid.cell(2, 3).ch, 'x');
}

struct ColorCase {
  std::uint32_t foreground, background;
  int result;
  std::uint16_t attribute;  // text_attribute afterwards, starting from 7
};

TEST(SetColor, SetsOrRejects) {
  const ColorCase cases[] = {
      {15, 1, 1, 31}, {14, 1, 1, 30}, {15, 4, 1, 79}, {15, 6, 1, 111}, {15, 0, 1, 15},
      {0, 0, 1, 0},   {15, 15, 1, 255}, {16, 0, 0, 7}, {0, 16, 0, 7}, {0xFFFFFFFFu, 0, 0, 7},
  };
  for (const ColorCase& c : cases) {
    WindowedConsole device(80, 25);
    ConsoleScreen screen;
    open_console(screen, device);
    EXPECT_EQ(set_color(screen, c.foreground, c.background), c.result) << c.foreground << "," << c.background;
    EXPECT_EQ(screen.text_attribute, c.attribute) << c.foreground << "," << c.background;
    EXPECT_EQ(screen.grid.cell_writes(), 0u);
  }
}

struct LocateCase {
  std::uint16_t column, row;
  int result;
};

TEST(Locate, BoundIsTheMaximumWindowSize) {
  // Buffer 100x30, maximum window 80x25: the window bounds locate, not the buffer.
  const LocateCase cases[] = {{0, 0, 1}, {79, 24, 1}, {80, 0, 0}, {0, 25, 0}, {99, 29, 0}, {0xFFFF, 0xFFFF, 0}};
  for (const LocateCase& c : cases) {
    WindowedConsole device(100, 30, 80, 25);
    ConsoleScreen screen;
    open_console(screen, device);
    const ConsoleGrid& grid = screen.grid;
    locate(screen, 7, 8);
    EXPECT_EQ(locate(screen, c.column, c.row), c.result) << c.column << "," << c.row;
    const CellPos expected = c.result ? CellPos{c.column, c.row} : CellPos{7, 8};
    EXPECT_EQ(screen.geometry.cursor_column, expected.column);
    EXPECT_EQ(screen.geometry.cursor_row, expected.row);
    EXPECT_EQ(grid.cursor().column, expected.column);
    EXPECT_EQ(grid.cursor().row, expected.row);
  }
}

struct ShapeCase {
  std::uint32_t size;
  int result;
  bool visible;
  std::uint32_t percent;
};

TEST(SetCursorShape, HidesShowsOrRejects) {
  const ShapeCase cases[] = {{0, 1, false, 1}, {1, 1, true, 10}, {5, 1, true, 50},
                             {10, 1, true, 100}, {11, 0, true, 25}, {0xFFFFFFFFu, 0, true, 25}};
  for (const ShapeCase& c : cases) {
    WindowedConsole device(80, 25);
    ConsoleScreen screen;
    open_console(screen, device);
    const ConsoleGrid& grid = screen.grid;
    EXPECT_EQ(set_cursor_shape(screen, c.size), c.result) << c.size;
    EXPECT_EQ(grid.cursor_visible(), c.visible) << c.size;
    EXPECT_EQ(grid.cursor_size(), c.percent) << c.size;
  }
}

TEST(ClearScreen, BlanksTheWholeBufferBeyondTheWindow) {
  WindowedConsole device(100, 30, 80, 25);
  ConsoleScreen screen;
  open_console(screen, device);
  const ConsoleGrid& grid = screen.grid;
  mark_rows(screen.grid);
  set_color(screen, 15, 1);
  locate(screen, 40, 20);
  clear_screen(screen);
  for (std::uint16_t r = 0; r < 30; ++r) {
    for (std::uint16_t c = 0; c < 100; ++c) ASSERT_EQ(grid.cell(c, r), (Cell{' ', 31})) << c << "," << r;
  }
  EXPECT_EQ(screen.geometry.cursor_column, 0);
  EXPECT_EQ(screen.geometry.cursor_row, 0);
  EXPECT_EQ(grid.cursor().column, 0);
  EXPECT_EQ(grid.cursor().row, 0);
}

TEST(OpenConsole, SecondOpenKeepsTheFirstConsole) {
  WindowedConsole first(80, 25);
  WindowedConsole second(100, 30);
  ConsoleScreen screen;
  EXPECT_EQ(open_console(screen, first), 7);
  set_color(screen, 15, 1);
  EXPECT_EQ(open_console(screen, second), 0);
  EXPECT_EQ(screen.output, &first);
  EXPECT_EQ(screen.geometry.buffer_width, 80);
  EXPECT_EQ(screen.text_attribute, 31);
  EXPECT_FALSE(second.created());
}

TEST(OpenConsole, FailedCreationLeavesTheLayerClosedAndOutputHarmless) {
  MemoryConsole device(80, 25);
  device.fail_create(true);
  ConsoleScreen screen;
  EXPECT_EQ(open_console(screen, device), 0);
  EXPECT_FALSE(screen.open);
  EXPECT_EQ(screen.output, nullptr);
  // The program goes on drawing regardless; nothing may break.
  clear_screen(screen);
  print_text(screen, "text");
  EXPECT_EQ(locate(screen, 0, 0), 0);
  EXPECT_EQ(screen.grid.cell_writes(), 0u);
}

TEST(CloseConsole, ReleasesOnceAndForgetsTheDevice) {
  MemoryConsole device(80, 25);
  ConsoleScreen screen;
  open_console(screen, device);
  const ConsoleGrid& grid = screen.grid;
  close_console(screen);
  EXPECT_FALSE(device.created());
  EXPECT_FALSE(screen.open);
  EXPECT_EQ(screen.output, nullptr);
  EXPECT_EQ(screen.geometry.buffer_width, 80);  // kept as it was
  close_console(screen);
  print_text(screen, "after");
  EXPECT_EQ(grid.row_text(0, 0, 5), "     ");
  EXPECT_EQ(open_console(screen, device), 7);
}

TEST(SetConsoleTitle, PassesTheTextUpToItsNul) {
  MemoryConsole device(80, 25);
  ConsoleScreen screen;
  open_console(screen, device);
  set_console_title(screen, std::string_view("Zorvik Quelta Marundo Setup\0junk", 32));
  EXPECT_EQ(device.title(), "Zorvik Quelta Marundo Setup");
}

struct FillCase {
  const char* name;
  std::uint16_t column, row;
  std::uint32_t count;
  std::size_t filled;  // cells changed, running on through the rows
  int first_row, last_row;  // the rows marked written, which a back end redraws; -1: none
};

TEST(ConsoleGrid, FillsRunOnThroughRowsAndStopAtTheEnd) {
  const FillCase cases[] = {
      {"within_a_row", 10, 3, 5, 5, 3, 3},
      {"to_a_row_end_and_the_next_rows_first_cell", 75, 3, 5, 5, 3, 4},
      {"into_next_rows", 70, 3, 100, 100, 3, 5},
      {"stops_at_buffer_end", 70, 24, 50, 10, 24, 24},
      {"start_past_the_end", 0, 25, 10, 0, -1, -1},
      {"start_past_the_right_edge", 80, 3, 10, 0, -1, -1},
      {"zero_cells", 0, 0, 0, 0, -1, -1},
  };
  for (const FillCase& c : cases) {
    ConsoleGrid grid(80, 25);
    grid.fill_attribute(99, c.count, CellPos{c.column, c.row});
    grid.write_characters(std::u32string(c.count, 'x'), CellPos{c.column, c.row});
    std::size_t changed = 0;
    for (std::uint16_t r = 0; r < 25; ++r) {
      for (std::uint16_t col = 0; col < 80; ++col) changed += grid.cell(col, r) == Cell{'x', 99};
    }
    EXPECT_EQ(changed, c.filled) << c.name;
    int first_row = -1, last_row = -1;
    for (std::uint16_t r = 0; r < 25; ++r) {
      if (grid.row_written(r) == 0) continue;
      if (first_row < 0) first_row = r;
      last_row = r;
      EXPECT_EQ(grid.row_written(r), grid.cell_writes()) << c.name << " row " << r;
    }
    EXPECT_EQ(first_row, c.first_row) << c.name;
    EXPECT_EQ(last_row, c.last_row) << c.name;
  }
}

}  // namespace
}  // namespace zq
