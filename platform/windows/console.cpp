#include "platform/windows/console.h"

#include <algorithm>
#include <vector>

#include "platform/windows/console_impl.h"
#include "platform/windows/display_text.h"
#include "platform/windows/system_message.h"
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

SHORT clamp_short(std::int32_t value) { return static_cast<SHORT>(std::clamp<std::int32_t>(value, -32768, 32767)); }

int window_width(const CONSOLE_SCREEN_BUFFER_INFO& info) { return info.srWindow.Right - info.srWindow.Left + 1; }
int window_height(const CONSOLE_SCREEN_BUFFER_INFO& info) { return info.srWindow.Bottom - info.srWindow.Top + 1; }

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
  model = MemoryConsole(static_cast<std::uint16_t>(layout.width), static_cast<std::uint16_t>(layout.height));
  model.create(geometry);
  keys = InputQueue();
  cursor_left_out = false;

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
  if (input_mode_saved) {
    // Key records as the keyboard makes them (not VT sequences: pastes are
    // told by their speed, in every console), size changes reported, and
    // Ctrl+C kept as a signal.
    const DWORD mode = (user_input_mode & ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT |
                                                              ENABLE_MOUSE_INPUT | ENABLE_VIRTUAL_TERMINAL_INPUT)) |
                       ENABLE_PROCESSED_INPUT | ENABLE_WINDOW_INPUT;
    SetConsoleMode(input, mode);
  }
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
  view = place_view(layout, width, height);
  DWORD done = 0;
  const DWORD cells = static_cast<DWORD>(info.dwSize.X) * static_cast<DWORD>(info.dwSize.Y);
  // Around the layout, the surround; around the request, the console's own
  // grey: it is a request, not the program.
  const WORD around = view.fits ? layout.surround_attribute : kPlainAttribute;
  FillConsoleOutputAttribute(buffer, around, cells, COORD{0, 0}, &done);
  FillConsoleOutputCharacterA(buffer, ' ', cells, COORD{0, 0}, &done);
  if (view.fits) {
    write_rows(0, layout.height - 1);
    const CellPos cursor = model.cursor();
    const int row = view_row_of(view, cursor.row);
    cursor_left_out = row < 0;
    if (!cursor_left_out) SetConsoleCursorPosition(buffer, cell_at(view.left + cursor.column, view.top + row));
    apply_cursor_info();
    return;
  }
  SHORT row = 0;
  for (const std::string& line : enlarge_request(layout, "window", width, height)) {
    WriteConsoleOutputCharacterA(buffer, line.data(), static_cast<DWORD>(line.size()), cell_at(0, row++), &done);
  }
  const CONSOLE_CURSOR_INFO hidden{25, FALSE};
  SetConsoleCursorInfo(buffer, &hidden);
}

void WindowsConsole::Impl::write_rows(int first, int last) {
  std::vector<CHAR_INFO> line(static_cast<std::size_t>(layout.width));
  for (int r = first; r <= last; ++r) {
    const int row = view_row_of(view, r);
    if (row < 0) continue;
    for (int c = 0; c < layout.width; ++c) {
      const Cell cell = model.cell(static_cast<std::uint16_t>(c), static_cast<std::uint16_t>(r));
      line[static_cast<std::size_t>(c)].Char.AsciiChar = console_byte(cell.ch);
      line[static_cast<std::size_t>(c)].Attributes = cell.attr;
    }
    // A row per call: large single writes are refused by some consoles.
    const COORD at = cell_at(view.left, view.top + row);
    SMALL_RECT region{at.X, at.Y, static_cast<SHORT>(at.X + layout.width - 1), at.Y};
    WriteConsoleOutputA(buffer, line.data(), COORD{static_cast<SHORT>(layout.width), 1}, COORD{0, 0}, &region);
  }
}

void WindowsConsole::Impl::apply_cursor_info() {
  const CONSOLE_CURSOR_INFO cursor{model.cursor_size(), model.cursor_visible() && !cursor_left_out ? TRUE : FALSE};
  SetConsoleCursorInfo(buffer, &cursor);
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
  impl_->model.release();
}

void WindowsConsole::set_title(std::string_view title) {
  impl_->model.set_title(title);
  if (impl_->active) SetConsoleTitleA(std::string(title).c_str());
}

// Each cell operation goes to the model and, while the window shows the
// layout, straight to the console as well: a call per row it reaches, none
// for rows left out.
void WindowsConsole::fill_attribute(std::uint16_t attr, std::uint32_t count, CellPos start) {
  Impl& c = *impl_;
  c.model.fill_attribute(attr, count, start);
  if (!c.shows()) return;
  DWORD done = 0;
  for (const ViewRun& run : view_runs(c.view, start, count)) {
    FillConsoleOutputAttribute(c.buffer, attr, static_cast<DWORD>(run.count), c.cell_at(run.column, run.row), &done);
  }
}

void WindowsConsole::fill_character(char32_t ch, std::uint32_t count, CellPos start) {
  Impl& c = *impl_;
  c.model.fill_character(ch, count, start);
  if (!c.shows()) return;
  DWORD done = 0;
  for (const ViewRun& run : view_runs(c.view, start, count)) {
    FillConsoleOutputCharacterA(c.buffer, console_byte(ch), static_cast<DWORD>(run.count),
                                c.cell_at(run.column, run.row), &done);
  }
}

void WindowsConsole::write_characters(std::u32string_view cells, CellPos start) {
  Impl& c = *impl_;
  c.model.write_characters(cells, start);
  if (!c.shows()) return;
  std::string bytes;
  for (const char32_t ch : cells) bytes += console_byte(ch);
  DWORD done = 0;
  for (const ViewRun& run : view_runs(c.view, start, bytes.size())) {
    WriteConsoleOutputCharacterA(c.buffer, bytes.data() + run.offset, static_cast<DWORD>(run.count),
                                 c.cell_at(run.column, run.row), &done);
  }
}

void WindowsConsole::scroll_rect(CellRect source, CellPos dest, Cell fill) {
  Impl& c = *impl_;
  c.model.scroll_rect(source, dest, fill);
  if (!c.shows()) return;
  if (c.view.rows_shown < c.layout.height) {
    // With rows left out the layout is no rectangle of the window, which
    // one scroll could move: it is written again from the model.
    c.write_rows(0, c.layout.height - 1);
    return;
  }
  // Clipped here: Windows clips a rectangle reaching past the buffer, Wine
  // moves nothing. The contents keep their offset from the source's corner;
  // the clip keeps the surround as it is.
  const CellRect clipped{std::max(source.left, 0), std::max(source.top, 0),
                         std::min<std::int32_t>(source.right, c.layout.width - 1),
                         std::min<std::int32_t>(source.bottom, c.layout.height - 1)};
  if (clipped.left > clipped.right || clipped.top > clipped.bottom) return;
  const COORD corner = c.cell_at(c.view.left, c.view.top);
  const SMALL_RECT rect{clamp_short(corner.X + clipped.left), clamp_short(corner.Y + clipped.top),
                        clamp_short(corner.X + clipped.right), clamp_short(corner.Y + clipped.bottom)};
  const SMALL_RECT layout_area{corner.X, corner.Y, clamp_short(corner.X + c.layout.width - 1),
                               clamp_short(corner.Y + c.layout.height - 1)};
  const COORD to{clamp_short(corner.X + dest.column + clipped.left - source.left),
                 clamp_short(corner.Y + dest.row + clipped.top - source.top)};
  CHAR_INFO blank{};
  blank.Char.AsciiChar = console_byte(fill.ch);
  blank.Attributes = fill.attr;
  ScrollConsoleScreenBufferA(c.buffer, &rect, &layout_area, to, &blank);
}

bool WindowsConsole::set_cursor_position(CellPos pos) {
  Impl& c = *impl_;
  if (!c.model.set_cursor_position(pos)) return false;
  if (!c.shows()) return true;
  const int row = view_row_of(c.view, pos.row);
  // On a row left out, the cursor is hidden until it moves back into view.
  const bool left_out = row < 0;
  bool done = true;
  if (!left_out) done = SetConsoleCursorPosition(c.buffer, c.cell_at(c.view.left + pos.column, c.view.top + row)) != 0;
  if (left_out != c.cursor_left_out) {
    c.cursor_left_out = left_out;
    c.apply_cursor_info();
  }
  return done;
}

bool WindowsConsole::set_cursor_info(std::uint32_t size, bool visible) {
  Impl& c = *impl_;
  if (!c.model.set_cursor_info(size, visible)) return false;
  if (!c.shows()) return true;
  const CONSOLE_CURSOR_INFO cursor{size, visible && !c.cursor_left_out ? TRUE : FALSE};
  return SetConsoleCursorInfo(c.buffer, &cursor) != 0;
}

// Every cell operation reached the console as it was made.
void WindowsConsole::present() {}

}  // namespace zq
