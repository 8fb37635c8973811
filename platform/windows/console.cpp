#include "platform/windows/console.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/windows/console_impl.h"
#include "platform/windows/system_message.h"
#include "runtime/characters.h"
#include "runtime/console_palette.h"
#include "runtime/console_screen.h"
#include "runtime/file_store.h"

namespace zq {
namespace {

constexpr WORD kPlainAttribute = 7;
// What Windows itself reports for a process ended by Ctrl+C.
constexpr UINT kControlExitCode = 0xC000013AU;

// The console that the control handler restores; one per process.
std::atomic<WindowsConsole::Impl*> g_open_console{nullptr};

// Ctrl+C, Ctrl+Break, closing the window, log-off and shut-down end the
// program at once, without writing anything, as Ctrl+C does on a terminal;
// the user's screen comes back first. Runs on a thread of its own.
BOOL WINAPI on_console_control(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      break;
    default:
      return FALSE;
  }
  // A save under way finishes first (it takes milliseconds; Windows allows a
  // closing window five seconds), so the file is never left half rewritten.
  wait_for_file_updates(std::chrono::seconds(3));
  if (WindowsConsole::Impl* console = g_open_console.load()) console->restore();
  ExitProcess(kControlExitCode);
}

HANDLE open_console_file(const char* name) {
  return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                     0, nullptr);
}

void close_handle(HANDLE& handle) {
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  handle = INVALID_HANDLE_VALUE;
}

int window_width(const CONSOLE_SCREEN_BUFFER_INFO& info) { return info.srWindow.Right - info.srWindow.Left + 1; }
int window_height(const CONSOLE_SCREEN_BUFFER_INFO& info) { return info.srWindow.Bottom - info.srWindow.Top + 1; }

CHAR_INFO char_info(wchar_t ch, WORD attr) {
  CHAR_INFO cell{};
  cell.Char.UnicodeChar = ch;
  cell.Attributes = attr;
  return cell;
}

// Cells per WriteConsoleOutput call at most: 64 KB of CHAR_INFO, the most
// older consoles take in one call. A window up to about 200x80 is one call.
constexpr std::size_t kMaxCellsPerWrite = 16000;

// Writes `cells` (`width` a row) with its top-left at `at`: one call, or one
// per band of rows that keeps under kMaxCellsPerWrite.
void write_block(HANDLE buffer, const std::vector<CHAR_INFO>& cells, int width, COORD at) {
  if (width <= 0 || cells.empty()) return;
  const int height = static_cast<int>(cells.size()) / width;
  const int band = std::max(1, static_cast<int>(kMaxCellsPerWrite) / width);
  for (int top = 0; top < height; top += band) {
    const int rows = std::min(band, height - top);
    SMALL_RECT region{at.X, static_cast<SHORT>(at.Y + top), static_cast<SHORT>(at.X + width - 1),
                      static_cast<SHORT>(at.Y + top + rows - 1)};
    WriteConsoleOutputW(buffer, cells.data() + static_cast<std::size_t>(top) * static_cast<std::size_t>(width),
                        COORD{static_cast<SHORT>(width), static_cast<SHORT>(rows)}, COORD{0, 0}, &region);
  }
}

// A crash that nothing else handles: the user's console comes back before
// Windows reports it.
LONG WINAPI on_crash(EXCEPTION_POINTERS*) {
  if (WindowsConsole::Impl* console = g_open_console.load()) console->restore();
  return EXCEPTION_CONTINUE_SEARCH;
}

// The input mode the program runs in, from the user's: key records as the
// keyboard makes them (not VT sequences), size changes and the mouse
// reported, Ctrl+C kept as a signal. Quick Edit goes: with it, a click into
// the window starts a selection that takes the keys typed next (and, in the
// classic console, stops the program's output) until it ends, and the mouse
// reaches no program. Clearing it takes the extended flags.
DWORD program_input_mode(DWORD user_mode) {
  constexpr DWORD kOff = ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_VIRTUAL_TERMINAL_INPUT |
                         ENABLE_QUICK_EDIT_MODE | ENABLE_INSERT_MODE;
  return (user_mode & ~kOff) | ENABLE_PROCESSED_INPUT | ENABLE_WINDOW_INPUT | ENABLE_MOUSE_INPUT |
         ENABLE_EXTENDED_FLAGS;
}

}  // namespace

bool WindowsConsole::Impl::create(ScreenGeometry& geometry) {
  if (active) {
    error = "the console is already in use";
    return false;
  }
  ended = false;
  // CONIN$ and CONOUT$ reach the console even when the standard handles are
  // redirected to files or pipes.
  input = open_console_file("CONIN$");
  user_output = open_console_file("CONOUT$");
  if (input == INVALID_HANDLE_VALUE || user_output == INVALID_HANDLE_VALUE) {
    close_handles();
    // Started without a console (detached, or from a service): make one.
    if (AllocConsole()) {
      input = open_console_file("CONIN$");
      user_output = open_console_file("CONOUT$");
    }
  }
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (input == INVALID_HANDLE_VALUE || user_output == INVALID_HANDLE_VALUE ||
      !GetConsoleScreenBufferInfo(user_output, &info)) {
    error = "no console window is available, and none could be created (" + system_message(GetLastError()) + ")";
    close_handles();
    return false;
  }

  // The program's own buffer, as large as the visible window (refit keeps
  // it so), so that it shows in the window and not at the top of the
  // user's scrollback.
  buffer = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     CONSOLE_TEXTMODE_BUFFER, nullptr);
  if (buffer == INVALID_HANDLE_VALUE) {
    error = "cannot create a console screen buffer (" + system_message(GetLastError()) + ")";
    close_handles();
    return false;
  }
  SetConsoleScreenBufferSize(buffer, COORD{static_cast<SHORT>(window_width(info)),
                                           static_cast<SHORT>(window_height(info))});
  // The program's screen is the layout's size whatever the window's.
  geometry = window_geometry(static_cast<std::uint16_t>(layout.width), static_cast<std::uint16_t>(layout.height));
  keys = InputQueue();
  mouse_buttons = 0;
  mouse.reset();
  shown_place.reset();
  shown_shape.reset();
  wine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
  // NO_COLOR: the console's own colours, as the user's buffer has them.
  colours = !colours_refused(std::getenv("NO_COLOR"));
  own_attribute = static_cast<WORD>(info.wAttributes & 0xFF);

  // Kept wide: the user's title may hold characters outside the code page.
  wchar_t title[1024] = {};
  title_saved = GetConsoleTitleW(title, 1024) > 0 || GetLastError() == 0;
  user_title = title;
  input_mode_saved = GetConsoleMode(input, &user_input_mode) != 0;
  // From here on every way out restores what was saved, the control
  // handler's included.
  g_open_console.store(this);
  active = true;
  static const bool handler_set = SetConsoleCtrlHandler(on_console_control, TRUE) != 0;
  (void)handler_set;
  static const LPTOP_LEVEL_EXCEPTION_FILTER crash_filter_set = SetUnhandledExceptionFilter(on_crash);
  (void)crash_filter_set;
  if (input_mode_saved) SetConsoleMode(input, program_input_mode(user_input_mode));
  if (!SetConsoleActiveScreenBuffer(buffer)) {
    error = "cannot show the program's console screen buffer (" + system_message(GetLastError()) + ")";
    restore();
    close_handles();
    return false;
  }
  refit();
  return true;
}

void WindowsConsole::Impl::restore() {
  if (!active.exchange(false)) return;
  SetConsoleActiveScreenBuffer(user_output);
  if (title_saved) SetConsoleTitleW(user_title.c_str());
  if (input_mode_saved) SetConsoleMode(input, user_input_mode);
}

void WindowsConsole::Impl::close_handles() {
  close_handle(buffer);
  close_handle(user_output);
  close_handle(input);
}

void WindowsConsole::Impl::refit() {
  if (!active) return;
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(buffer, &info)) return;
  const int width = window_width(info);
  const int height = window_height(info);
  // The buffer as large as the window again, when a console kept it larger
  // or smaller: no scroll bars, and nothing drawn outside the window.
  if (info.dwSize.X != width || info.dwSize.Y != height) {
    const SMALL_RECT at_top{0, 0, static_cast<SHORT>(width - 1), static_cast<SHORT>(height - 1)};
    SetConsoleWindowInfo(buffer, TRUE, &at_top);
    SetConsoleScreenBufferSize(buffer, COORD{static_cast<SHORT>(width), static_cast<SHORT>(height)});
    GetConsoleScreenBufferInfo(buffer, &info);
  }
  origin = COORD{info.srWindow.Left, info.srWindow.Top};
  window_columns = width;
  window_rows = height;
  view = place_view(layout, width, height);
  whole_window = true;
}

void WindowsConsole::Impl::write_window(const ConsoleGrid& grid) {
  whole_window = false;
  const int width = window_columns;
  // The whole window in one write. Around the layout, the surround; around
  // the request, the console's own grey: it is a request, not the program.
  std::vector<CHAR_INFO> window(static_cast<std::size_t>(width) * static_cast<std::size_t>(window_rows),
                                char_info(L' ', view.fits ? shown_attribute(layout.surround_attribute) : kPlainAttribute));
  const auto at = [&](int column, int row) -> CHAR_INFO& {
    return window[static_cast<std::size_t>(row) * static_cast<std::size_t>(width) + static_cast<std::size_t>(column)];
  };
  if (view.fits) {
    shown.assign(static_cast<std::size_t>(layout.width) * static_cast<std::size_t>(layout.height), Cell{});
    for (int v = 0; v < view.rows_shown; ++v) {
      take_row(grid, layout_row_at(view, v), 0, layout.width - 1, &at(view.left, view.top + v));
    }
  } else {
    int row = 0;
    for (const std::string& line : enlarge_request(layout, "window", width, window_rows)) {
      for (std::size_t c = 0; c < line.size() && c < static_cast<std::size_t>(width); ++c) {
        at(static_cast<int>(c), row).Char.UnicodeChar = static_cast<unsigned char>(line[c]);
      }
      ++row;
    }
  }
  write_block(buffer, window, width, origin);
  shown_place.reset();
  shown_shape.reset();
}

void WindowsConsole::Impl::write_changes(const ConsoleGrid& grid) {
  const auto width = static_cast<std::size_t>(layout.width);
  // The changed cells' bounds, in rows of the window counted from view.top.
  int left = layout.width, right = -1, top = view.rows_shown, bottom = -1;
  for (int v = 0; v < view.rows_shown; ++v) {
    const auto r = static_cast<std::uint16_t>(layout_row_at(view, v));
    for (int c = 0; c < layout.width; ++c) {
      if (grid.cell(static_cast<std::uint16_t>(c), r) == shown[r * width + static_cast<std::size_t>(c)]) continue;
      left = std::min(left, c);
      right = std::max(right, c);
      top = std::min(top, v);
      bottom = std::max(bottom, v);
    }
  }
  if (right < 0) return;
  // Both halves of a wide character go together.
  for (int v = top; v <= bottom; ++v) {
    const auto r = static_cast<std::uint16_t>(layout_row_at(view, v));
    if (left > 0 && grid.cell(static_cast<std::uint16_t>(left), r).ch == kWideTail) --left;
    if (right + 1 < layout.width && grid.cell(static_cast<std::uint16_t>(right + 1), r).ch == kWideTail) ++right;
  }
  const int columns = right - left + 1;
  std::vector<CHAR_INFO> cells(static_cast<std::size_t>(columns) * static_cast<std::size_t>(bottom - top + 1));
  for (int v = top; v <= bottom; ++v) {
    const auto offset = static_cast<std::size_t>(v - top) * static_cast<std::size_t>(columns);
    take_row(grid, layout_row_at(view, v), left, right, &cells[offset]);
  }
  write_block(buffer, cells, columns, cell_at(view.left + left, view.top + top));
}

void WindowsConsole::Impl::take_row(const ConsoleGrid& grid, int row, int left, int right, CHAR_INFO* out) {
  const auto r = static_cast<std::uint16_t>(row);
  char32_t before = left > 0 ? grid.cell(static_cast<std::uint16_t>(left - 1), r).ch : U' ';
  for (int c = left; c <= right; ++c) {
    const Cell cell = grid.cell(static_cast<std::uint16_t>(c), r);
    shown[static_cast<std::size_t>(row) * static_cast<std::size_t>(layout.width) + static_cast<std::size_t>(c)] = cell;
    *out++ = cell_info(cell, before);
    before = cell.ch;
  }
}

WORD WindowsConsole::Impl::shown_attribute(std::uint16_t attr) const {
  if (colours) return attr;
  return static_cast<WORD>(own_attribute | (reversed_without_colours(attr) ? COMMON_LVB_REVERSE_VIDEO : 0));
}

CHAR_INFO WindowsConsole::Impl::cell_info(Cell cell, char32_t before) const {
  WORD attr = shown_attribute(cell.attr);
  const bool one_unit = cell.ch < 0x10000;
  wchar_t ch = one_unit ? static_cast<wchar_t>(cell.ch) : L'?';
  if (cell.ch == kWideTail) {
    if (before >= 0x10000) return char_info(L' ', attr);
    // Wine's console keeps one cell a character and leaves the terminal to
    // draw a wide one over two columns: its second cell must take none.
    if (wine) return char_info(L'\u200B', attr);
    ch = static_cast<wchar_t>(before);
    attr |= COMMON_LVB_TRAILING_BYTE;
  } else if (one_unit && cell_width(cell.ch) == 2 && !wine) {
    attr |= COMMON_LVB_LEADING_BYTE;
  }
  return char_info(ch, attr);
}

void WindowsConsole::Impl::apply_cursor(const ConsoleGrid& grid) {
  // Hidden on a row left out of the view, and around the request to enlarge.
  const CellPos cursor = grid.cursor();
  const int row = view.fits ? view_row_of(view, cursor.row) : -1;
  const bool visible = grid.cursor_visible() && row >= 0;
  if (visible) {
    const COORD place = cell_at(view.left + cursor.column, view.top + row);
    if (!shown_place || place.X != shown_place->X || place.Y != shown_place->Y) {
      SetConsoleCursorPosition(buffer, place);
      shown_place = place;
    }
  }
  const CONSOLE_CURSOR_INFO shape{grid.cursor_size(), visible ? TRUE : FALSE};
  if (!shown_shape || shape.dwSize != shown_shape->dwSize || shape.bVisible != shown_shape->bVisible) {
    SetConsoleCursorInfo(buffer, &shape);
    shown_shape = shape;
  }
}

WindowsConsole::WindowsConsole(const ViewLayout& layout) : impl_(std::make_unique<Impl>(layout)) {}

WindowsConsole::~WindowsConsole() { release(); }

const std::string& WindowsConsole::error() const { return impl_->error; }

HANDLE WindowsConsole::screen_buffer() const { return impl_->buffer; }

HANDLE WindowsConsole::input_handle() const { return impl_->input; }

bool WindowsConsole::create(ScreenGeometry& geometry) { return impl_->create(geometry); }

void WindowsConsole::release() {
  impl_->restore();
  WindowsConsole::Impl* self = impl_.get();
  g_open_console.compare_exchange_strong(self, nullptr);
  impl_->close_handles();
}

void WindowsConsole::set_title(std::string_view title) {
  if (impl_->active) SetConsoleTitleA(std::string(title).c_str());
}

// One frame: the changed cells in one write, then the cursor. Hosts that
// turn each console call into output of its own (Windows Terminal) show it
// whole, never half drawn.
void WindowsConsole::present(const ConsoleGrid& grid) {
  Impl& c = *impl_;
  if (!c.active) return;
  if (c.whole_window) {
    c.write_window(grid);
  } else if (c.view.fits) {
    c.write_changes(grid);
  }
  c.apply_cursor(grid);
}

}  // namespace zq
