#include "runtime/console_view.h"

#include <algorithm>
#include <utility>

namespace zq {
namespace {

// The text in lines of at most `columns`, broken between words (a longer word
// is cut), and no more than `rows` of them.
std::vector<std::string> wrap_words(std::string_view text, int columns, int rows) {
  std::vector<std::string> lines;
  if (columns <= 0 || rows <= 0) return lines;
  const auto width = static_cast<std::size_t>(columns);
  std::string line;
  std::size_t at = 0;
  while ((at = text.find_first_not_of(' ', at)) != std::string_view::npos) {
    const std::size_t end = std::min(text.find(' ', at), text.size());
    std::string_view word = text.substr(at, end - at);
    at = end;
    // A word wider than the terminal is cut into pieces that fit.
    while (word.size() > width) {
      if (!line.empty()) lines.push_back(std::exchange(line, {}));
      lines.emplace_back(word.substr(0, width));
      word.remove_prefix(width);
    }
    if (word.empty()) continue;
    if (!line.empty() && line.size() + 1 + word.size() > width) lines.push_back(std::exchange(line, {}));
    if (!line.empty()) line += ' ';
    line += word;
  }
  if (!line.empty()) lines.push_back(line);
  if (lines.size() > static_cast<std::size_t>(rows)) lines.resize(static_cast<std::size_t>(rows));
  return lines;
}

}  // namespace

ViewPlacement place_view(const ViewLayout& layout, int columns, int rows) {
  ViewPlacement placement;
  placement.layout = layout;
  placement.columns = columns;
  if (layout.width <= 0 || columns < layout.width || rows < std::max(layout.min_rows(), 1)) return placement;
  placement.fits = true;
  placement.rows_shown = std::min(rows, layout.height);
  placement.left = (columns - layout.width) / 2;
  placement.top = (rows - placement.rows_shown) / 2;
  return placement;
}

int view_row_of(const ViewPlacement& placement, int layout_row) {
  if (!placement.fits || layout_row < 0 || layout_row >= placement.layout.height) return -1;
  int above = 0;  // spared rows left out above this one
  const auto left_out = static_cast<std::size_t>(placement.layout.height - placement.rows_shown);
  for (const int spared : placement.layout.spared_rows.first(left_out)) {
    if (spared == layout_row) return -1;
    if (spared < layout_row) ++above;
  }
  return layout_row - above;
}

int layout_row_at(const ViewPlacement& placement, int view_row) {
  for (int row = 0; row < placement.layout.height; ++row) {
    if (view_row_of(placement, row) == view_row) return row;
  }
  return -1;
}

std::optional<MouseEvent> mouse_on_layout(const ViewPlacement& placement, const MouseEvent& event) {
  const int column = event.column - placement.left;
  const int row = layout_row_at(placement, event.row - placement.top);
  if (!placement.fits || column < 0 || column >= placement.layout.width || row < 0 || event.row < placement.top) {
    return std::nullopt;
  }
  return MouseEvent{event.kind, column, row};
}

// Plain strings, not streams: a stream would bring the locale machinery into
// a statically linked program for one sentence.
std::vector<std::string> enlarge_request(const ViewLayout& layout, std::string_view what, int columns, int rows) {
  const std::string text = "Please enlarge the " + std::string(what) + " to at least " +
                           std::to_string(layout.width) + "x" + std::to_string(layout.min_rows()) + " (now " +
                           std::to_string(columns) + "x" + std::to_string(rows) + "). Ctrl+C leaves the program.";
  return wrap_words(text, columns, rows);
}

}  // namespace zq
