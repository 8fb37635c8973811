#include "app/setup_flow.h"

#include <algorithm>

#include "app/option_screens.h"
#include "app/prompts.h"
#include "app/screens.h"
#include "runtime/characters.h"
#include "runtime/console_screen.h"
#include "runtime/display_text.h"
#include "runtime/file_store.h"
#include "runtime/user_folder.h"

namespace zq {
namespace {

enum class State { MainMenu, Display, Sound, Dip, QuitPrompt, SavePrompt, SaveFailed, QuitEnd, SaveEnd };

// The notice's lines leave the last two columns of their rows blank.
constexpr std::size_t kNoticeWidth = 78;
constexpr std::string_view kMore = "...";

// At most kNoticeWidth cells: cut after the last word that fits with "...",
// or mid-word, between two characters, when even the first one after the
// `keep` bytes does not.
std::string cut_after_word(std::string text, std::size_t keep) {
  if (cells_of(text) <= kNoticeWidth) return text;
  std::size_t end = bytes_within(text, kNoticeWidth - kMore.size());
  const std::size_t space = text.rfind(' ', end);
  if (space != std::string::npos && space > keep) end = space;
  text.resize(end);
  return text + std::string(kMore);
}

// At most `width` cells, its end kept: a folder's own name is at the end.
// The cut falls between two characters.
std::string cut_from_left(const std::string& text, std::size_t width) {
  const std::size_t cells = cells_of(text);
  if (cells <= width) return text;
  const std::size_t kept = width - kMore.size();
  std::size_t drop = bytes_within(text, cells - kept);
  // A wide character across the cut goes whole.
  if (cells_of(std::string_view(text).substr(drop)) > kept) {
    drop += std::max<std::size_t>(1, utf8_character_at(text, drop).length);
  }
  return std::string(kMore) + text.substr(drop);
}

// The folder of a file's path: up to its last separator, which stays where
// it is all of a root ("/", "C:\"); empty for a bare name.
std::string folder_of(std::string_view path) {
  const std::size_t separator = path.find_last_of("/\\");
  if (separator == std::string_view::npos) return {};
  const bool root = separator == 0 || path[separator - 1] == ':';
  return std::string(path.substr(0, root ? separator + 1 : separator));
}

// `folder` with the home folder at its start shown as "~", as a Unix shell
// shows it (only Unix names a home). A home of "/" would make every folder
// "~", and is left alone.
std::string under_home(std::string_view folder, std::string_view home) {
  while (home.size() > 1 && home.back() == '/') home.remove_suffix(1);
  if (home.size() <= 1 || !folder.starts_with(home)) return std::string(folder);
  const std::string_view rest = folder.substr(home.size());
  if (!rest.empty() && rest.front() != '/') return std::string(folder);  // /home/ann is not under /home/an
  return "~" + std::string(rest);
}

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

std::string notice_for(const FileProbe& probe, std::string_view path, std::string_view home, const NoticeNotes& notes) {
  std::string_view lead;
  std::string_view lead_to_way_out;  // where the system tells what to do, in place of its reason
  std::string finding;
  switch (probe.state) {
    case FileState::Absent:
      if (probe.reason.empty()) finding = "  No zorvikqm.ini here yet: these are the defaults. Save & Exit creates it.";
      lead = "  No zorvikqm.ini yet, and it cannot be created: ";
      lead_to_way_out = "  No zorvikqm.ini. ";
      break;
    case FileState::Readable:
      if (probe.reason.empty()) finding = "  Settings read from zorvikqm.ini. Save & Exit writes your changes back to it.";
      lead = "  Settings read, but zorvikqm.ini cannot be saved: ";
      lead_to_way_out = "  Settings read. ";
      break;
    case FileState::Unreadable:
      lead = "  Cannot read or save zorvikqm.ini: ";
      break;
  }
  if (finding.empty() && !notes.way_out.empty() && !lead_to_way_out.empty()) {
    finding = cut_after_word(std::string(lead_to_way_out) + std::string(kToSave) + display_text(notes.way_out) + ".",
                             lead_to_way_out.size());
  }
  if (finding.empty()) finding = cut_after_word(std::string(lead) + display_text(probe.reason), lead.size());
  const std::string folder_lead = "  " + (notes.label.empty() ? std::string("Folder") : display_text(notes.label)) + ": ";
  const std::string folder = folder_of(path);
  const std::string shown = folder.empty() ? std::string("the current one, which the system cannot name")
                                           : display_text(under_home(folder, home));
  return finding + "\n" + folder_lead + cut_from_left(shown, kNoticeWidth - cells_of(folder_lead));
}

std::string config_notice(const std::string& path, std::string_view label) {
  const FileProbe probe = probe_file(path);
  const std::string advice = probe.reason.empty() ? std::string() : way_out(path, probe.code);
  return notice_for(probe, path, home_folder(), {label, advice});
}

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
