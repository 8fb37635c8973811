// What the console's drawing (console.cpp) and its key reader
// (console_keys.cpp) share.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "platform/windows/console.h"
#include "runtime/console_view.h"
#include "runtime/memory_console.h"

namespace zq {

// Rows 1 to 24 hold the whole layout, so a 24-row window still shows it: the
// window scrolls past the empty top row. (A terminal also leaves out a row
// in the middle; a console window shows its buffer's rows as they stand.)
inline constexpr int kMinWindowRows = 24;
// print_text's cursor arithmetic is 16-bit and exact only up to this size.
inline constexpr int kMaxBufferSide = 255;

struct WindowsConsole::Impl {
  std::string error;
  // Set while the program's buffer is shown; whoever clears it restores.
  std::atomic<bool> active{false};
  MemoryConsole model{kLayoutColumns, kLayoutRows};

  HANDLE input = INVALID_HANDLE_VALUE;     // CONIN$
  HANDLE user_output = INVALID_HANDLE_VALUE;  // CONOUT$: the user's buffer at start
  HANDLE buffer = INVALID_HANDLE_VALUE;    // the program's own buffer
  DWORD user_input_mode = 0;
  bool input_mode_saved = false;
  std::wstring user_title;
  bool title_saved = false;
  bool too_small = false;  // the window cannot show the layout: the request is shown
  bool ended = false;      // the input handle failed for good

  bool create(ScreenGeometry& geometry);
  // Undoes create in reverse order; safe from the control handler's thread.
  void restore();
  void close_handles();
  // Fits the view to the window: the layout, or the request to enlarge.
  void refit();
  void repaint();
};

}  // namespace zq
