#include "platform/windows/console.h"

#include <algorithm>
#include <vector>

#include "platform/windows/console_impl.h"
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

COORD coord_of(CellPos pos) { return COORD{static_cast<SHORT>(pos.column), static_cast<SHORT>(pos.row)}; }

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

  // The program's own buffer: as large as the visible window, never smaller
  // than the layout, so the layout appears in the window and not at the top
  // of the user's scrollback.
  buffer = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     CONSOLE_TEXTMODE_BUFFER, nullptr);
  if (buffer == INVALID_HANDLE_VALUE) {
    error = "cannot create a console screen buffer (" + system_message(GetLastError()) + ")";
    close_handles();
    return false;
  }
  const auto width = static_cast<std::uint16_t>(std::clamp(window_width(info), kLayoutColumns, kMaxBufferSide));
  const auto height = static_cast<std::uint16_t>(std::clamp(window_height(info), kLayoutRows, kMaxBufferSide));
  SetConsoleScreenBufferSize(buffer, COORD{static_cast<SHORT>(width), static_cast<SHORT>(height)});
  model = MemoryConsole(width, height);
  model.create(geometry);

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
    // Key records as the keyboard makes them, size changes reported, and
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
  // A console that shrank the buffer along with its window gets it back:
  // the cells outside the window are still the layout's.
  if (info.dwSize.X < model.width() || info.dwSize.Y < model.height()) {
    const COORD size{std::max<SHORT>(info.dwSize.X, static_cast<SHORT>(model.width())),
                     std::max<SHORT>(info.dwSize.Y, static_cast<SHORT>(model.height()))};
    SetConsoleScreenBufferSize(buffer, size);
    GetConsoleScreenBufferInfo(buffer, &info);
  }
  const int width = window_width(info);
  const int height = window_height(info);
  too_small = width < kLayoutColumns || height < kMinWindowRows;
  // A 24-row window leaves out the buffer's top row, which the layout keeps empty.
  const SHORT top = static_cast<SHORT>(too_small || height >= kLayoutRows ? 0 : kLayoutRows - height);
  const SMALL_RECT view{0, top, static_cast<SHORT>(width - 1), static_cast<SHORT>(top + height - 1)};
  SetConsoleWindowInfo(buffer, TRUE, &view);
  if (!too_small) {
    repaint();
    return;
  }
  const std::string request = "Please enlarge the window to at least " + std::to_string(kLayoutColumns) + "x" +
                              std::to_string(kMinWindowRows) + " (now " + std::to_string(width) + "x" +
                              std::to_string(height) + "). Ctrl+C leaves the program.";
  DWORD done = 0;
  const DWORD cells = static_cast<DWORD>(info.dwSize.X) * static_cast<DWORD>(info.dwSize.Y);
  FillConsoleOutputCharacterA(buffer, ' ', cells, COORD{0, 0}, &done);
  FillConsoleOutputAttribute(buffer, kPlainAttribute, cells, COORD{0, 0}, &done);
  SHORT row = 0;
  for (const std::string& line : wrap_words(request, width, height)) {
    WriteConsoleOutputCharacterA(buffer, line.data(), static_cast<DWORD>(line.size()), COORD{0, row++}, &done);
  }
  const CONSOLE_CURSOR_INFO hidden{25, FALSE};
  SetConsoleCursorInfo(buffer, &hidden);
}

// The whole model into the buffer, a row per call (large single writes are
// refused by some consoles), then its cursor.
void WindowsConsole::Impl::repaint() {
  std::vector<CHAR_INFO> row(model.width());
  for (std::uint16_t r = 0; r < model.height(); ++r) {
    for (std::uint16_t c = 0; c < model.width(); ++c) {
      const Cell cell = model.cell(c, r);
      row[c].Char.AsciiChar = static_cast<CHAR>(cell.ch);
      row[c].Attributes = cell.attr;
    }
    SMALL_RECT region{0, static_cast<SHORT>(r), static_cast<SHORT>(model.width() - 1), static_cast<SHORT>(r)};
    WriteConsoleOutputA(buffer, row.data(), COORD{static_cast<SHORT>(model.width()), 1}, COORD{0, 0}, &region);
  }
  SetConsoleCursorPosition(buffer, coord_of(model.cursor()));
  const CONSOLE_CURSOR_INFO cursor{model.cursor_size(), model.cursor_visible() ? TRUE : FALSE};
  SetConsoleCursorInfo(buffer, &cursor);
}

WindowsConsole::WindowsConsole() : impl_(std::make_unique<Impl>()) {}

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
// layout, straight to the console as well.
void WindowsConsole::fill_attribute(std::uint16_t attr, std::uint32_t count, CellPos start) {
  Impl& c = *impl_;
  c.model.fill_attribute(attr, count, start);
  DWORD done = 0;
  if (c.active && !c.too_small) FillConsoleOutputAttribute(c.buffer, attr, count, coord_of(start), &done);
}

void WindowsConsole::fill_character(unsigned char ch, std::uint32_t count, CellPos start) {
  Impl& c = *impl_;
  c.model.fill_character(ch, count, start);
  DWORD done = 0;
  if (c.active && !c.too_small) {
    FillConsoleOutputCharacterA(c.buffer, static_cast<CHAR>(ch), count, coord_of(start), &done);
  }
}

void WindowsConsole::write_characters(std::string_view bytes, CellPos start) {
  Impl& c = *impl_;
  c.model.write_characters(bytes, start);
  DWORD done = 0;
  if (c.active && !c.too_small && !bytes.empty()) {
    WriteConsoleOutputCharacterA(c.buffer, bytes.data(), static_cast<DWORD>(bytes.size()), coord_of(start), &done);
  }
}

void WindowsConsole::scroll_rect(CellRect source, CellPos dest, Cell fill) {
  Impl& c = *impl_;
  c.model.scroll_rect(source, dest, fill);
  if (!c.active || c.too_small) return;
  // Clipped here: Windows clips a rectangle reaching past the buffer, Wine
  // moves nothing. The contents keep their offset from the source's corner.
  const CellRect clipped{std::max(source.left, 0), std::max(source.top, 0),
                         std::min<std::int32_t>(source.right, c.model.width() - 1),
                         std::min<std::int32_t>(source.bottom, c.model.height() - 1)};
  if (clipped.left > clipped.right || clipped.top > clipped.bottom) return;
  const SMALL_RECT rect{clamp_short(clipped.left), clamp_short(clipped.top), clamp_short(clipped.right),
                        clamp_short(clipped.bottom)};
  const COORD to{clamp_short(dest.column + clipped.left - source.left), clamp_short(dest.row + clipped.top - source.top)};
  CHAR_INFO blank{};
  blank.Char.AsciiChar = static_cast<CHAR>(fill.ch);
  blank.Attributes = fill.attr;
  ScrollConsoleScreenBufferA(c.buffer, &rect, nullptr, to, &blank);
}

bool WindowsConsole::set_cursor_position(CellPos pos) {
  Impl& c = *impl_;
  if (!c.model.set_cursor_position(pos)) return false;
  if (c.active && !c.too_small) return SetConsoleCursorPosition(c.buffer, coord_of(pos)) != 0;
  return true;
}

bool WindowsConsole::set_cursor_info(std::uint32_t size, bool visible) {
  Impl& c = *impl_;
  if (!c.model.set_cursor_info(size, visible)) return false;
  const CONSOLE_CURSOR_INFO cursor{size, visible ? TRUE : FALSE};
  if (c.active && !c.too_small) return SetConsoleCursorInfo(c.buffer, &cursor) != 0;
  return true;
}

}  // namespace zq
