// Fuzz target for the whole program: run_setup on the in-memory console, fed
// a script of key presses and terminal size changes, with zorvikqm.ini in a
// scratch directory absent, a file, a directory, a link to a file or a link
// to a file not there yet.
//
// Input: [start] [columns - 1] [rows - 1] [script length, 2 bytes LE]
// [script] [file content]. Script bytes: below 0x20 a named key pressed
// after a pause, 0x20-0x3F one pressed at once after the event before (a
// burst, as a console types a paste); 0x40-0x5F a one-byte key_text (next
// byte); 0x60-0x7F a two-byte key_text (next two); 0x80-0xBF a size change
// to (next byte + 1) x (next byte + 1); 0xC0 and up terminal bytes, (low six
// bits + 1) of them, mouse reports among them. Keys and bytes go through
// the program's input queue, as a console's key records and a terminal's
// bytes do.
//
// Checks the program's promises: the directory is untouched until a
// confirmed save; pasted text (two or more text keys at once) answers no
// question; a save reads back as the options shown; every cell the
// program writes and every cursor it places lie inside the console's buffer;
// the screen is presented before every wait and pause; the run ends only by
// a quit or save the player confirmed, or when the script ends; and it takes
// a bounded number of steps per key.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/prompts.h"
#include "app/screens.h"
#include "app/settings.h"
#include "app/setup_flow.h"
#include "runtime/console_view.h"
#include "runtime/input_queue.h"
#include "runtime/keyboard.h"
#include "tests/memory_console.h"

namespace {

// The largest redraw, a box over a fresh frame, takes about a hundred device
// calls; ten times that for one key means the program is looping.
constexpr std::size_t kMaxStepsPerEvent = 1000;

std::string g_dir;   // this process's scratch directory
std::string g_path;  // zorvikqm.ini in it

void remove_scratch_dir() {
  std::error_code ignored;
  std::filesystem::remove_all(g_dir, ignored);
}

// A broken promise ends the process; the input, kept by libFuzzer, rebuilds
// the directory, so it is not left behind.
void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "promise broken: %s\n", what);
    remove_scratch_dir();
    std::abort();
  }
}

enum class Start { None, File, Directory, Link, DanglingLink };
constexpr int kStarts = 5;

std::string read_all(const std::string& path) {
  std::string content;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return content;
  char buffer[4096];
  ssize_t n = 0;
  while ((n = ::read(fd, buffer, sizeof buffer)) > 0) content.append(buffer, static_cast<std::size_t>(n));
  ::close(fd);
  return content;
}

// Everything in the scratch directory: each entry's name, kind and bytes
// (a link's target), sorted by name.
struct Entry {
  std::string name;
  char kind;  // 'f' file, 'd' directory, 'l' link, '?' other
  std::string bytes;
  bool operator==(const Entry&) const = default;
};

std::vector<Entry> snapshot() {
  std::vector<Entry> entries;
  DIR* dir = ::opendir(g_dir.c_str());
  check(dir != nullptr, "scratch directory gone");
  while (const dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = g_dir + "/" + name;
    struct stat info {};
    ::lstat(path.c_str(), &info);
    Entry entry{name, '?', {}};
    if (S_ISREG(info.st_mode)) {
      entry = {name, 'f', read_all(path)};
    } else if (S_ISDIR(info.st_mode)) {
      entry.kind = 'd';
    } else if (S_ISLNK(info.st_mode)) {
      char target[256];
      const ssize_t n = ::readlink(path.c_str(), target, sizeof target);
      entry = {name, 'l', std::string(target, static_cast<std::size_t>(std::max<ssize_t>(n, 0)))};
    }
    entries.push_back(std::move(entry));
  }
  ::closedir(dir);
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
  return entries;
}

void clear_dir() {
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(g_dir, ignored)) {
    std::filesystem::remove_all(entry.path(), ignored);
  }
}

void write_all(const std::string& path, std::string_view content) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  check(fd >= 0, "cannot create the starting file");
  check(::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size()),
        "cannot write the starting file");
  ::close(fd);
}

void set_up(Start start, std::string_view content) {
  clear_dir();
  switch (start) {
    case Start::None: break;
    case Start::File: write_all(g_path, content); break;
    case Start::Directory: check(::mkdir(g_path.c_str(), 0700) == 0, "cannot create the directory"); break;
    case Start::Link:
      write_all(g_dir + "/target.ini", content);
      [[fallthrough]];
    case Start::DanglingLink:
      check(::symlink("target.ini", g_path.c_str()) == 0, "cannot create the link");
      break;
  }
}

// One thing the script makes happen: a key press, bytes the terminal sends,
// or the terminal changing to columns x rows.
enum class Kind { Key, Bytes, Resize };
struct Event {
  Kind kind;
  std::string text;
  int columns = 0;
  int rows = 0;
  bool at_once = false;  // a key pressed with no pause after the event before
};

// The pause before an event that is not at once: longer than any of the
// input queue's waits.
constexpr std::chrono::seconds kPause{1};

const std::string kNamedKeys[] = {
    zq::key_text(255, zq::kScanUp),    zq::key_text(255, zq::kScanDown), zq::key_text(255, zq::kScanLeft),
    zq::key_text(255, zq::kScanRight), zq::key_text(13, zq::kScanEnter), zq::key_text(27, zq::kScanEsc),
    zq::key_text('y', 21),             zq::key_text('Y', 21),            zq::key_text('n', 49),
    zq::key_text('N', 49),             zq::key_text('q', 16),            zq::key_text(' ', 57),
    zq::key_text(9, 15),               zq::key_text(8, 14),              zq::key_text(255, 59),
    zq::key_text(255, 71),
};

std::vector<Event> parse_script(std::string_view script) {
  std::vector<Event> events;
  while (!script.empty()) {
    const auto op = static_cast<unsigned char>(script[0]);
    script.remove_prefix(1);
    if (op < 0x40) {
      events.push_back({Kind::Key, kNamedKeys[op % std::size(kNamedKeys)], 0, 0, op >= 0x20});
      continue;
    }
    const std::size_t operands = op < 0x60 ? 1 : op < 0xC0 ? 2 : (op & 0x3Fu) + 1u;
    if (script.size() < operands) break;
    const std::string_view operand = script.substr(0, operands);
    script.remove_prefix(operands);
    if (op < 0x80) {
      events.push_back({Kind::Key, std::string(operand)});
    } else if (op < 0xC0) {
      events.push_back({Kind::Resize, {}, static_cast<unsigned char>(operand[0]) + 1,
                        static_cast<unsigned char>(operand[1]) + 1});
    } else {
      events.push_back({Kind::Bytes, std::string(operand)});
    }
  }
  return events;
}

// The text of the prompt's question, wherever in the layout it is.
bool shows(const zq::MemoryConsole& console, std::string_view message) {
  const zq::ConsoleGrid& shown = console.grid();
  for (std::uint16_t row = 0; row < shown.height(); ++row) {
    if (shown.row_text(row).find(message) != std::string::npos) return true;
  }
  return false;
}

bool is_yes(std::string_view key) { return !key.empty() && (key[0] == 'y' || key[0] == 'Y'); }
// A key press of text: a letter, digit or other printable character.
bool is_text(std::string_view key) {
  const auto ch = static_cast<unsigned char>(key.empty() ? 0 : key[0]);
  return ch >= 0x20 && ch != 0x7F && ch != 255;
}

// What the run has done so far, as both doubles see it.
struct Run {
  std::vector<Event> events;
  std::size_t next = 0;  // the event the program has not seen yet
  int columns = 0;
  int rows = 0;
  zq::InputQueue input;
  zq::InputQueue::Clock::time_point now{};
  bool paused = false;    // the clock has moved on since the last key arrived
  std::size_t steps = 0;  // since the last key or event
  std::vector<Entry> before;
  zq::MemoryConsole console;
  std::string last_key;
  bool last_key_answered_save = false;
  bool last_key_answered_quit = false;
  // The latest keys pressed at once: when, how many are text, and whether
  // terminal bytes came among them (their keys are no part of it).
  std::optional<zq::InputQueue::Clock::time_point> group_at;
  int group_text = 0;
  bool group_mixed = false;

  void step() {
    check(++steps <= kMaxStepsPerEvent, "too many steps for one key");
    check_view();
  }
  const Event* upcoming() const { return next < events.size() ? &events[next] : nullptr; }
  bool upcoming_is(Kind kind) const { return upcoming() != nullptr && upcoming()->kind == kind; }
  void take_event() {
    ++next;
    steps = 0;
  }
  // Too small for the layout, the view shows a request to enlarge.
  bool too_small() const { return !zq::place_view(zq::kScreenLayout, columns, rows).fits; }
  // A terminal shorter than the layout leaves rows out; whatever the program
  // has drawn, they must be blank, or the player would miss part of a screen.
  void check_view() const {
    const zq::ViewPlacement view = zq::place_view(zq::kScreenLayout, columns, rows);
    if (!view.fits) return;
    check(view.left + zq::kScreenLayout.width <= columns && view.top + view.rows_shown <= rows,
          "the layout placed past the terminal");
    for (int row = 0; row < zq::kScreenLayout.height; ++row) {
      if (zq::view_row_of(view, row) >= 0) continue;
      const std::string text = console.grid().row_text(static_cast<std::uint16_t>(row));
      check(text.find_first_not_of(' ') == std::string::npos, "a row left out of the view holds text");
    }
  }
};

// The keyboard and terminal as the script plays them: key presses and
// terminal bytes arrive in the program's input queue, which decides what
// they are; the clock moves on while the program waits, up to the queue's
// next decision or to the next event after a pause.
class ScriptKeys : public zq::KeySource {
 public:
  explicit ScriptKeys(Run& run) : run_(run) {}

  std::string poll_key() override {
    run_.step();
    mouse_.reset();
    check(run_.console.created(), "reading keys with no console");
    for (;;) {
      const zq::TakenInput taken = run_.input.take(run_.now, run_.too_small());
      if (!taken.key_text.empty()) return hand_out(taken.key_text);
      if (taken.mouse) {
        // As a terminal gives it: on the layout's cells, through the view.
        mouse_ = zq::mouse_on_layout(zq::place_view(zq::kScreenLayout, run_.columns, run_.rows), *taken.mouse);
        return {};
      }
      if (taken.repaint) return {};
      const Event* event = run_.upcoming();
      if (event == nullptr || event->kind == Kind::Resize) return {};
      if (event->kind == Kind::Bytes) {
        // They arrive while earlier bytes wait: within the Esc delay.
        run_.input.add_bytes(event->text, run_.now);
        run_.group_mixed = true;
      } else if (event->at_once || run_.paused) {
        if (run_.group_at != run_.now) {
          run_.group_at = run_.now;
          run_.group_text = 0;
          run_.group_mixed = false;
        }
        if (is_text(event->text)) ++run_.group_text;
        run_.input.add_key(event->text, run_.now);
        run_.paused = false;
      } else {
        return {};
      }
      run_.take_event();
    }
  }

  std::optional<zq::MouseEvent> poll_mouse() override {
    run_.step();
    if (mouse_) {
      check(mouse_->column >= 0 && mouse_->column < zq::kScreenLayout.width && mouse_->row >= 0 &&
                mouse_->row < zq::kScreenLayout.height,
            "a mouse event off the layout");
      // No click answers a question: the run may not end on one.
      run_.last_key_answered_save = run_.last_key_answered_quit = false;
      run_.steps = 0;
    }
    return std::exchange(mouse_, std::nullopt);
  }

  bool wait_for_input() override {
    run_.step();
    check(run_.console.created(), "waiting for input with no console");
    check(run_.console.presented(), "waiting for keys with the screen not shown");
    if (const auto decide = run_.input.time_to_decide(run_.now)) {
      run_.now += *decide;
      return true;
    }
    if (run_.upcoming() == nullptr) return false;
    run_.now += kPause;
    run_.paused = true;
    if (run_.upcoming_is(Kind::Resize)) {
      run_.columns = run_.upcoming()->columns;
      run_.rows = run_.upcoming()->rows;
      run_.take_event();
    }
    return true;
  }

  void pause_ms(std::chrono::milliseconds) override {
    run_.step();
    check(run_.console.presented(), "pausing with the screen not shown");
  }

 private:
  std::string hand_out(const std::string& key) {
    check(snapshot() == run_.before, "the directory changed before a confirmed save");
    run_.last_key = key;
    run_.last_key_answered_save = is_yes(key) && shows(run_.console, zq::kSavePrompt.message);
    run_.last_key_answered_quit = is_yes(key) && shows(run_.console, zq::kQuitPrompt.message);
    // The keys pressed at once are still the latest while theirs are given
    // out: the queue holds them until it has decided what they are.
    check(!(run_.group_text > 1 && !run_.group_mixed &&
            (run_.last_key_answered_save || run_.last_key_answered_quit)),
          "pasted text answered a question");
    run_.steps = 0;
    return key;
  }

  Run& run_;
  std::optional<zq::MouseEvent> mouse_;  // taken by the last poll_key
};

// The in-memory console, refusing a frame that scrolled or has a colour
// beyond the sixteen.
class CheckedConsole : public zq::ConsoleDevice {
 public:
  explicit CheckedConsole(Run& run) : run_(run), console_(run.console) {}

  bool create(zq::ScreenGeometry& geometry) override {
    run_.step();
    return console_.create(geometry);
  }
  void release() override {
    run_.step();
    console_.release();
  }
  void set_title(std::string_view title) override {
    run_.step();
    console_.set_title(title);
  }
  void present(const zq::ConsoleGrid& grid) override {
    run_.step();
    // The console scrolls only to make room for text that would run past
    // its last row, which would move the banner into the top row, blank on
    // every screen.
    check(grid.row_text(0).find_first_not_of(' ') == std::string::npos, "text ran past the buffer's last row");
    for (std::uint16_t row = 0; row < grid.height(); ++row) {
      for (const zq::Cell& cell : grid.row(row)) check(cell.attr < 0x100, "attribute beyond the sixteen colours");
    }
    console_.present(grid);
  }

 private:
  Run& run_;
  zq::MemoryConsole& console_;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char name[] = "/tmp/zq-flow-fuzz-XXXXXX";
  check(::mkdtemp(name) != nullptr, "cannot create a scratch directory");
  g_dir = name;
  g_path = g_dir + "/zorvikqm.ini";
  std::atexit(remove_scratch_dir);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  if (input.size() < 5) return 0;
  const auto start = static_cast<Start>(static_cast<unsigned char>(input[0]) % kStarts);
  Run run;
  run.columns = static_cast<unsigned char>(input[1]) + 1;
  run.rows = static_cast<unsigned char>(input[2]) + 1;
  const std::size_t length = static_cast<unsigned char>(input[3]) |
                             std::size_t{static_cast<unsigned char>(input[4])} << 8;
  input.remove_prefix(5);
  const std::string_view script = input.substr(0, length);
  input.remove_prefix(script.size());
  run.events = parse_script(script);
  set_up(start, input);
  run.before = snapshot();
  // The terminal and the Windows console draw into a layout-sized buffer,
  // whatever their own size.
  run.console = zq::MemoryConsole(static_cast<std::uint16_t>(zq::kScreenLayout.width),
                                  static_cast<std::uint16_t>(zq::kScreenLayout.height));

  CheckedConsole console(run);
  ScriptKeys keys(run);
  zq::AppState app;
  app.config_path = g_path;
  const zq::SetupEnd end = zq::run_setup(console, keys, app);

  check(!run.console.created(), "console left open");
  switch (end) {
    case zq::SetupEnd::NoConsole: check(false, "no console from a console that opens"); break;
    case zq::SetupEnd::InputEnded:
      check(run.next == run.events.size() && run.input.empty(), "ended before the script did");
      check(snapshot() == run.before, "the directory changed without a save");
      break;
    case zq::SetupEnd::Quit:
      check(run.last_key_answered_quit, "quit without Y to the quit question");
      check(snapshot() == run.before, "the directory changed on a quit");
      break;
    case zq::SetupEnd::Saved: {
      check(run.last_key_answered_save, "saved without Y to the save question");
      // The same entries as before (a new file where there was none), and
      // the file reads back as the options the player had.
      std::vector<Entry> after = snapshot();
      std::vector<Entry> expected = run.before;
      if (start == Start::None) expected.push_back({"zorvikqm.ini", 'f', {}});
      if (start == Start::DanglingLink) expected.push_back({"target.ini", 'f', {}});
      std::sort(expected.begin(), expected.end(),
                [](const Entry& a, const Entry& b) { return a.name < b.name; });
      check(after.size() == expected.size(), "files left over from the save");
      for (std::size_t i = 0; i < after.size(); ++i) {
        check(after[i].name == expected[i].name && after[i].kind == expected[i].kind,
              "the save replaced something else");
      }
      zq::SetupSettings read_back;
      zq::load_settings(read_back, g_path);
      check(read_back == app.settings, "the saved file does not read back as the options shown");
      break;
    }
  }
  return 0;
}
