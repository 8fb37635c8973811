// How the program's 80x25 screen is shown on a terminal of any size: centred
// in the frame's blue on a larger one, on a shorter one without the rows that
// are blank on every screen, and below that not at all, in favour of a
// request to enlarge. Pure arithmetic, tested without a terminal.
#pragma once

#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace zq {

inline constexpr int kLayoutColumns = 80;
inline constexpr int kLayoutRows = 25;
// Layout rows that no screen writes on, left out one by one as the terminal
// gets shorter than the layout: the top row, then the row under the banner.
inline constexpr int kSparedRows[] = {0, 5};
inline constexpr int kMinViewRows = kLayoutRows - static_cast<int>(std::size(kSparedRows));
// What is shown around the layout on a larger terminal: the frame's colours.
inline constexpr unsigned kSurroundAttribute = 31;

struct ViewPlacement {
  bool fits = false;     // false: too small, show enlarge_request instead
  int left = 0;          // terminal column of layout column 0
  int top = 0;           // terminal row of the first layout row shown
  int rows_shown = 0;    // layout rows shown, kMinViewRows to kLayoutRows
};

// Where the layout goes on a terminal of `columns` x `rows` cells.
ViewPlacement place_view(int columns, int rows);
// The row, counted from placement.top, that shows `layout_row`; -1 when left out.
int view_row_of(const ViewPlacement& placement, int layout_row);
// The layout row shown `view_row` rows below placement.top; -1 past the layout.
int layout_row_at(const ViewPlacement& placement, int view_row);

// The request shown on a terminal too small for the layout, wrapped at word
// boundaries to `columns` and cut to `rows` lines.
std::vector<std::string> enlarge_request(int columns, int rows);

// The text in lines of at most `columns`, broken between words (a longer word
// is cut), and no more than `rows` of them.
std::vector<std::string> wrap_words(std::string_view text, int columns, int rows);

}  // namespace zq
