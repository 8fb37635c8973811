// Where the 80x25 layout lands on terminals of many sizes, which rows a short
// terminal leaves out, and the enlarge request on narrow ones.
#include "runtime/console_view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "runtime/console_grid.h"

namespace zq {
namespace {

constexpr int kSpared[] = {0, 5};
constexpr ViewLayout kLayout{80, 25, kSpared, 31};

struct PlacementCase {
  int columns, rows;
  bool fits;
  int left, top, rows_shown;
};

TEST(PlaceView, Table) {
  const PlacementCase cases[] = {
      {80, 25, true, 0, 0, 25},    {80, 24, true, 0, 0, 24},     {80, 23, true, 0, 0, 23},
      {80, 22, false, 0, 0, 0},    {79, 25, false, 0, 0, 0},     {200, 22, false, 0, 0, 0},
      {120, 40, true, 20, 7, 25},  {81, 26, true, 0, 0, 25},     {82, 27, true, 1, 1, 25},
      {100, 23, true, 10, 0, 23},  {80, 60, true, 0, 17, 25},    {0, 0, false, 0, 0, 0},
  };
  for (const PlacementCase& c : cases) {
    const ViewPlacement p = place_view(kLayout, c.columns, c.rows);
    EXPECT_EQ(p.fits, c.fits) << c.columns << "x" << c.rows;
    if (!c.fits) continue;
    EXPECT_EQ(p.left, c.left) << c.columns << "x" << c.rows;
    EXPECT_EQ(p.top, c.top) << c.columns << "x" << c.rows;
    EXPECT_EQ(p.rows_shown, c.rows_shown) << c.columns << "x" << c.rows;
  }
}

TEST(PlaceView, TheLayoutIsTheCallers) {
  constexpr int kLastRow[] = {9};
  const ViewPlacement p = place_view({40, 10, kLastRow, 7}, 41, 9);
  EXPECT_TRUE(p.fits && p.left == 0 && p.rows_shown == 9 && layout_row_at(p, 8) == 8 && view_row_of(p, 9) < 0);
  EXPECT_FALSE(place_view({40, 10, kLastRow, 7}, 41, 8).fits);
}

// A mouse event on the terminal lands on the layout cell shown there: from
// the layout's corner, past rows left out; none around the layout.
TEST(MouseOnLayout, Table) {
  struct Case {
    int columns, rows;
    int column, row;                  // on the terminal
    std::optional<CellPos> expected;  // on the layout
  };
  const Case cases[] = {
      {80, 25, 35, 12, CellPos{35, 12}}, {120, 40, 55, 19, CellPos{35, 12}}, {120, 40, 19, 19, std::nullopt},
      {120, 40, 100, 19, std::nullopt},  {120, 40, 55, 6, std::nullopt},     {120, 40, 55, 32, std::nullopt},
      {80, 23, 35, 10, CellPos{35, 12}},  // rows 0 and 5 left out
      {80, 23, 0, 0, CellPos{0, 1}},     {80, 22, 35, 12, std::nullopt},     {80, 25, 80, 12, std::nullopt},
  };
  for (const Case& c : cases) {
    const MouseEvent on_terminal{MouseEvent::Kind::WheelUp, c.column, c.row};
    const std::optional<MouseEvent> on_layout = mouse_on_layout(place_view(kLayout, c.columns, c.rows), on_terminal);
    const std::optional<MouseEvent> expected =
        c.expected ? std::optional(MouseEvent{MouseEvent::Kind::WheelUp, c.expected->column, c.expected->row})
                   : std::nullopt;
    EXPECT_EQ(on_layout, expected) << c.columns << "x" << c.rows << " at " << c.column << "," << c.row;
  }
}

// The layout rows a terminal of that height shows, top to bottom.
std::vector<int> rows_shown_at(int rows) {
  const ViewPlacement p = place_view(kLayout, 80, rows);
  std::vector<int> shown;
  for (int v = 0; v < p.rows_shown; ++v) shown.push_back(layout_row_at(p, v));
  return shown;
}

std::vector<int> layout_rows_except(std::initializer_list<int> left_out) {
  std::vector<int> rows;
  for (int r = 0; r < kLayout.height; ++r) {
    if (std::find(left_out.begin(), left_out.end(), r) == left_out.end()) rows.push_back(r);
  }
  return rows;
}

TEST(ViewRows, ShortTerminalsLeaveOutTheTopRowThenTheRowUnderTheBanner) {
  EXPECT_EQ(rows_shown_at(25), layout_rows_except({}));
  EXPECT_EQ(rows_shown_at(40), layout_rows_except({}));
  EXPECT_EQ(rows_shown_at(24), layout_rows_except({0}));
  EXPECT_EQ(rows_shown_at(23), layout_rows_except({0, 5}));
}

TEST(ViewRows, RowOfAndRowAtAreInverse) {
  for (int rows : {23, 24, 25, 30}) {
    const ViewPlacement p = place_view(kLayout, 80, rows);
    for (int r = 0; r < kLayout.height; ++r) {
      const int v = view_row_of(p, r);
      if (v >= 0) {
        EXPECT_EQ(layout_row_at(p, v), r) << rows << " rows, layout row " << r;
      }
    }
    EXPECT_EQ(view_row_of(p, kLayout.height), -1);
    EXPECT_EQ(layout_row_at(p, p.rows_shown), -1);
  }
  EXPECT_EQ(view_row_of(place_view(kLayout, 80, 23), 24), 22);  // the help line stays last
  EXPECT_EQ(view_row_of(place_view(kLayout, 80, 23), 6), 4);    // the notice moves up two
}

TEST(EnlargeRequest, WrapsToTheWidthAndSaysHowToLeave) {
  for (int columns : {79, 60, 40, 20, 12, 5, 1}) {
    const std::vector<std::string> lines = enlarge_request(kLayout, "terminal", columns, 20);
    std::string joined;
    for (const std::string& line : lines) {
      EXPECT_LE(line.size(), static_cast<std::size_t>(columns)) << columns << ": " << line;
      joined += line + " ";
    }
    if (columns >= 12) {
      EXPECT_NE(joined.find("80x23"), std::string::npos) << columns;
      EXPECT_NE(joined.find("Ctrl+C"), std::string::npos) << columns;
      EXPECT_NE(joined.find("(now " + std::to_string(columns) + "x20)"), std::string::npos) << columns;
    }
  }
  EXPECT_EQ(enlarge_request(kLayout, "terminal", 70, 20).front(), "Please enlarge the terminal to at least 80x23 (now 70x20). Ctrl+C");
  EXPECT_EQ(enlarge_request(kLayout, "terminal", 40, 2).size(), 2u);  // cut to the rows there are
  EXPECT_TRUE(enlarge_request(kLayout, "terminal", 0, 0).empty());
}

}  // namespace
}  // namespace zq
