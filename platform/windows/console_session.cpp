// The console session: the console's handles taken at start-up (a console
// made where there is none), the program's own screen buffer shown, its
// input mode set, and the user's buffer, title and input mode given back
// at every way out: release, Ctrl+C and its kin, and a crash.
#include "platform/windows/console.h"

#include <cstdlib>

#include "runtime/console_palette.h"
#include "runtime/console_screen.h"
#include "runtime/file_calls.h"
#include "runtime/file_store.h"

namespace zq {
namespace {

// What Windows itself reports for a process ended by Ctrl+C.
constexpr UINT kControlExitCode = 0xC000013AU;

// The console that the control handler restores; one per process.
std::atomic<WindowsConsole*> g_open_console{nullptr};

HANDLE open_console_file(const char* name) {
  return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                     0, nullptr);
}

void close_handle(HANDLE& handle) {
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  handle = INVALID_HANDLE_VALUE;
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

// What went wrong, with the system's reason for it.
std::string failed(std::string_view what) {
  const auto code = static_cast<int>(GetLastError());
  return std::string(what) + " (" + error_text(code) + ")";
}

}  // namespace

// Ctrl+C, Ctrl+Break, closing the window, log-off and shut-down end the
// program at once, without writing anything, as Ctrl+C does on a terminal;
// the user's screen comes back first. Runs on a thread of its own.
BOOL WINAPI WindowsConsole::on_control(DWORD event) {
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
  if (WindowsConsole* console = g_open_console.load()) console->restore();
  ExitProcess(kControlExitCode);
}

// A crash that nothing else handles: the user's console comes back before
// Windows reports it.
LONG WINAPI WindowsConsole::on_crash(EXCEPTION_POINTERS*) {
  if (WindowsConsole* console = g_open_console.load()) console->restore();
  return EXCEPTION_CONTINUE_SEARCH;
}

bool WindowsConsole::create(ScreenGeometry& geometry) {
  if (active_) {
    error_ = "the console is already in use";
    return false;
  }
  CONSOLE_SCREEN_BUFFER_INFO user{};
  if (!open_handles(user) || !make_buffer(user)) {
    close_handles();
    return false;
  }
  // The program's screen is the layout's size whatever the window's.
  geometry = window_geometry(static_cast<std::uint16_t>(layout_.width), static_cast<std::uint16_t>(layout_.height));
  ended_ = false;
  keys_ = InputQueue();
  mouse_buttons_ = 0;
  mouse_.reset();
  whole_window_ = true;
  wine_ = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
  // NO_COLOR: the console's own colours, as the user's buffer has them.
  colours_ = !colours_refused(std::getenv("NO_COLOR"));
  own_attribute_ = static_cast<WORD>(user.wAttributes & 0xFF);
  save_user_settings();
  if (!take_console()) {
    release();
    return false;
  }
  refit();
  return true;
}

bool WindowsConsole::open_handles(CONSOLE_SCREEN_BUFFER_INFO& user) {
  // CONIN$ and CONOUT$ reach the console even when the standard handles are
  // redirected to files or pipes.
  input_ = open_console_file("CONIN$");
  user_output_ = open_console_file("CONOUT$");
  if (input_ == INVALID_HANDLE_VALUE || user_output_ == INVALID_HANDLE_VALUE) {
    close_handles();
    // Started without a console (detached, or from a service): make one.
    if (AllocConsole()) {
      input_ = open_console_file("CONIN$");
      user_output_ = open_console_file("CONOUT$");
    }
  }
  if (input_ == INVALID_HANDLE_VALUE || user_output_ == INVALID_HANDLE_VALUE ||
      !GetConsoleScreenBufferInfo(user_output_, &user)) {
    error_ = failed("no console window is available, and none could be created");
    return false;
  }
  return true;
}

bool WindowsConsole::make_buffer(const CONSOLE_SCREEN_BUFFER_INFO& user) {
  // The program's own buffer, as large as the visible window (refit keeps
  // it so), so that it shows in the window and not at the top of the
  // user's scrollback.
  buffer_ = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      CONSOLE_TEXTMODE_BUFFER, nullptr);
  if (buffer_ == INVALID_HANDLE_VALUE) {
    error_ = failed("cannot create a console screen buffer");
    return false;
  }
  SetConsoleScreenBufferSize(buffer_, window_size(user));
  return true;
}

void WindowsConsole::save_user_settings() {
  // Kept wide: the user's title may hold characters outside the code page.
  wchar_t title[1024] = {};
  title_saved_ = GetConsoleTitleW(title, 1024) > 0 || GetLastError() == 0;
  user_title_ = title;
  input_mode_saved_ = GetConsoleMode(input_, &user_input_mode_) != 0;
}

bool WindowsConsole::take_console() {
  // From here on every way out restores what was saved, the control
  // handler's included.
  g_open_console.store(this);
  active_ = true;
  [[maybe_unused]] static const bool handler_set = SetConsoleCtrlHandler(on_control, TRUE) != 0;
  [[maybe_unused]] static const LPTOP_LEVEL_EXCEPTION_FILTER crash_filter_set = SetUnhandledExceptionFilter(on_crash);
  if (input_mode_saved_) SetConsoleMode(input_, program_input_mode(user_input_mode_));
  if (!SetConsoleActiveScreenBuffer(buffer_)) {
    error_ = failed("cannot show the program's console screen buffer");
    return false;
  }
  return true;
}

void WindowsConsole::restore() {
  if (!active_.exchange(false)) return;
  SetConsoleActiveScreenBuffer(user_output_);
  if (title_saved_) SetConsoleTitleW(user_title_.c_str());
  if (input_mode_saved_) SetConsoleMode(input_, user_input_mode_);
}

void WindowsConsole::close_handles() {
  close_handle(buffer_);
  close_handle(user_output_);
  close_handle(input_);
}

void WindowsConsole::release() {
  restore();
  WindowsConsole* self = this;
  g_open_console.compare_exchange_strong(self, nullptr);
  close_handles();
}

}  // namespace zq
