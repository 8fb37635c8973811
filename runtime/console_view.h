// How the program's layout is shown on a terminal or console window of any
// size: centred in the surround's colours on a larger one, on a shorter one
// without the rows that are blank on every screen, and below that not at
// all, in favour of a request to enlarge. The layout's size and rows come
// from the program; this is pure arithmetic, tested without a terminal.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/keyboard.h"

namespace zq {

// The program's screen as a view shows it.
struct ViewLayout {
  int width = 0;   // columns
  int height = 0;  // rows
  // Rows that no screen writes on, left out one by one, in this order, as
  // the terminal gets shorter than the layout.
  std::span<const int> spared_rows;
  // What a larger terminal shows around the layout.
  std::uint16_t surround_attribute = 0;
  // The backgrounds (bit n for colour n) that a terminal or window without
  // colours shows in reverse video, so that what they mark stays visible.
  std::uint16_t reversed_backgrounds = 0;

  int min_rows() const { return height - static_cast<int>(spared_rows.size()); }
};

struct ViewPlacement {
  ViewLayout layout;
  int columns = 0;       // the terminal's
  bool fits = false;     // false: too small, show enlarge_request instead
  int left = 0;          // terminal column of layout column 0
  int top = 0;           // terminal row of the first layout row shown
  int rows_shown = 0;    // layout rows shown, layout.min_rows() to layout.height
};

// Where the layout goes on a terminal of `columns` x `rows` cells.
ViewPlacement place_view(const ViewLayout& layout, int columns, int rows);
// The row, counted from placement.top, that shows `layout_row`; -1 when left out.
int view_row_of(const ViewPlacement& placement, int layout_row);
// The layout row shown `view_row` rows below placement.top; -1 past the layout.
int layout_row_at(const ViewPlacement& placement, int view_row);

// A mouse event on the terminal's cells as one on the layout's; none when it
// is outside the layout or the layout is not shown.
std::optional<MouseEvent> mouse_on_layout(const ViewPlacement& placement, const MouseEvent& event);

// The request shown on a terminal too small for the layout, wrapped at word
// boundaries to `columns` and cut to `rows` lines. `what` names the thing to
// enlarge: the terminal, the window.
std::vector<std::string> enlarge_request(const ViewLayout& layout, std::string_view what, int columns, int rows);

}  // namespace zq
