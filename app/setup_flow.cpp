#include "app/setup_flow.h"

#include "app/config_notice.h"
#include "app/option_screens.h"
#include "app/prompts.h"
#include "app/screens.h"
#include "runtime/console_screen.h"
#include "runtime/user_folder.h"

namespace zq {
namespace {

enum class State { MainMenu, Display, Sound, Dip, QuitPrompt, SavePrompt, SaveFailed, QuitEnd, SaveEnd };

constexpr bool is_end(State s) { return s == State::QuitEnd || s == State::SaveEnd; }

const OptionScreen* option_screen_of(State s) {
  switch (s) {
    case State::Display: return &kDisplayScreen;
    case State::Sound: return &kSoundScreen;
    case State::Dip: return &kDipScreen;
    default: return nullptr;
  }
}

// Draws the whole screen of a state being entered.
void enter_state(Io io, AppState& app, State state) {
  if (const OptionScreen* screen = option_screen_of(state)) {
    draw_frame(io, app.notice);
    draw_option_screen(io, *screen, app.screen_cursor, app.settings);
    return;
  }
  switch (state) {
    case State::MainMenu:
      draw_frame(io, app.notice);
      app.menu_column = kMenuColumn;
      draw_main_menu(io, app.main_cursor, app.menu_column);
      break;
    case State::QuitPrompt: draw_prompt(io, app.notice, kQuitPrompt); break;
    case State::SavePrompt: draw_prompt(io, app.notice, kSavePrompt); break;
    case State::SaveFailed: draw_save_error(io, app.notice, app.save_error, app.save_way_out); break;
    default: break;
  }
}

State main_menu_state(Io io, AppState& app) {
  switch (main_menu_key(io, app.main_cursor, app.menu_column, app.scan_code)) {
    case MenuChoice::Stay: return State::MainMenu;
    case MenuChoice::Quit: return State::QuitPrompt;
    case MenuChoice::Open: break;
  }
  app.screen_cursor = 0;
  constexpr State kChosen[kMenuEntries] = {State::Display, State::Sound, State::Dip, State::QuitPrompt,
                                           State::SavePrompt};
  return kChosen[app.main_cursor];
}

// A failed save leaves every option as it was, so the player can fix the
// cause and save again, or quit.
State save_prompt_key(AppState& app) {
  const std::string answer = prompt_answer(app.key_text);
  if (answer == "N") return State::MainMenu;
  if (answer != "Y") return State::SavePrompt;
  const SaveResult result = save_settings(app.settings, app.loaded, app.config_path);
  if (result.ok) return State::SaveEnd;
  app.save_error = result.error;
  app.save_way_out = way_out(app.config_path, result.code);
  return State::SaveFailed;
}

// What a key press does in a state; the state that follows.
State state_key(Io io, AppState& app, State state) {
  if (const OptionScreen* screen = option_screen_of(state)) {
    const bool leave = option_screen_key(io, *screen, app.screen_cursor, app.settings, app.scan_code);
    return leave ? State::MainMenu : state;
  }
  switch (state) {
    case State::MainMenu: return main_menu_state(io, app);
    case State::QuitPrompt: {
      const std::string answer = prompt_answer(app.key_text);
      return answer == "Y" ? State::QuitEnd : answer == "N" ? State::MainMenu : state;
    }
    case State::SavePrompt: return save_prompt_key(app);
    case State::SaveFailed: return State::MainMenu;
    default: return state;
  }
}

// What a mouse event does in a state: the key it stands for, once the entry
// or row it points at is selected. A click on the selected entry opens it;
// on a row's "<" or ">" it is Left or Right; the wheel is Up and Down. The
// questions and boxes take no clicks, so a stray one answers nothing.
State state_mouse(Io io, AppState& app, State state, const MouseEvent& mouse) {
  const OptionScreen* screen = option_screen_of(state);
  if (state != State::MainMenu && screen == nullptr) return state;
  int scan_code = mouse.kind == MouseEvent::Kind::WheelUp     ? kScanUp
                  : mouse.kind == MouseEvent::Kind::WheelDown ? kScanDown
                                                              : 0;
  if (scan_code == 0 && screen == nullptr) {
    const std::optional<std::int32_t> entry = menu_entry_at(app.menu_column, mouse.column, mouse.row);
    if (!entry) return state;
    if (*entry != app.main_cursor) {
      app.main_cursor = *entry;
      draw_main_menu(io, app.main_cursor, app.menu_column);
      return state;
    }
    scan_code = kScanEnter;
  } else if (scan_code == 0) {
    const std::optional<RowHit> hit = option_row_at(*screen, app.settings, mouse.column, mouse.row);
    if (!hit) return state;
    if (hit->row != app.screen_cursor) {
      app.screen_cursor = hit->row;
      if (hit->scan_code == 0) draw_option_screen(io, *screen, app.screen_cursor, app.settings);
    }
    if (hit->scan_code == 0) return state;
    scan_code = hit->scan_code;
  }
  app.scan_code = scan_code;
  return state_key(io, app, state);
}

}  // namespace

SetupEnd run_setup(ConsoleDevice& device, KeySource& keys, AppState& app) {
  ConsoleScreen screen;
  open_console(screen, device);
  if (!screen.open) return SetupEnd::NoConsole;
  set_console_title(screen, kConsoleTitle);
  set_cursor_shape(screen, 0);
  // The copy the system keeps for this user, where it keeps one.
  const UserFile file = user_file(app.config_path);
  app.config_path = file.path;
  app.notice = config_notice(file.path, file.label);
  load_settings(app.settings, app.config_path);
  app.loaded = app.settings;

  const Io io{screen, keys};
  State state = State::MainMenu;
  enter_state(io, app, state);
  SetupEnd end = SetupEnd::Quit;
  while (!is_end(state)) {
    app.key_text = keys.poll_key();
    State next = state;
    if (!app.key_text.empty()) {
      app.scan_code = scan_code_of(app.key_text);
      next = state_key(io, app, state);
    } else if (const std::optional<MouseEvent> mouse = keys.poll_mouse()) {
      next = state_mouse(io, app, state, *mouse);
    } else {
      // Show what the last key changed, then sleep until something arrives
      // instead of spinning on an empty queue.
      present_console(screen);
      if (!keys.wait_for_input()) {
        end = SetupEnd::InputEnded;
        break;
      }
      continue;
    }
    if (next != state) enter_state(io, app, next);
    state = next;
  }
  if (state == State::SaveEnd) end = SetupEnd::Saved;
  close_console(screen);
  return end;
}

}  // namespace zq
