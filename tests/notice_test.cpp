// The notice: what its first line says for each finding about zorvikqm.ini,
// how its second names the folder, and that both keep within 78 cells
// whatever the system's reason and the folder's name.
#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "app/config_notice.h"

namespace zq {
namespace {

std::string repeated(std::string_view text, int times) {
  std::string all;
  for (int i = 0; i < times; ++i) all += text;
  return all;
}
constexpr std::string_view kGe = "\xE3\x82\xB2";  // a Japanese letter, two cells wide

std::string line_of(const std::string& notice, int line) {
  const std::size_t split = notice.find('\n');
  return line == 0 ? notice.substr(0, split) : notice.substr(split + 1);
}

TEST(Notice, SaysWhetherTheFileWasFoundAndWhySavingCannotWork) {
  // A terminal in UTF-8; the Windows console's cells take these letters in any code page.
  std::setlocale(LC_CTYPE, "C.UTF-8");
  constexpr std::string_view kWayOut = "run as administrator or make the folder writable";
  const struct {
    FileState state;
    std::string reason;
    std::string notice;
    std::string_view way_out = {};
  } cases[] = {
      {FileState::Absent, "", "  No zorvikqm.ini here yet: these are the defaults. Save & Exit creates it."},
      {FileState::Absent, "Permission denied", "  No zorvikqm.ini yet, and it cannot be created: Permission denied"},
      {FileState::Readable, "", "  Settings read from zorvikqm.ini. Save & Exit writes your changes back to it."},
      {FileState::Readable, "Read-only file system",
       "  Settings read, but zorvikqm.ini cannot be saved: Read-only file system"},
      {FileState::Unreadable, "Too many levels of symbolic links",
       "  Cannot read or save zorvikqm.ini: Too many levels of symbolic links"},
      // Too long: cut after the last whole word that fits with "...".
      {FileState::Readable, "Too many levels of symbolic links",
       "  Settings read, but zorvikqm.ini cannot be saved: Too many levels of..."},
      // One long word: cut inside it.
      {FileState::Unreadable, std::string(60, 'x'),
       "  Cannot read or save zorvikqm.ini: " + std::string(39, 'x') + "..."},
      // The system's text as the console shows it: no control byte gets through.
      {FileState::Unreadable, "bad\x1b[2Jname\n", "  Cannot read or save zorvikqm.ini: bad?[2Jname?"},
      // Cut by cells, between two letters: 36 + 19 * 2 + 3 = 77 cells.
      {FileState::Unreadable, repeated(kGe, 40), "  Cannot read or save zorvikqm.ini: " + repeated(kGe, 19) + "..."},
      // Where the system says what to do, that in place of its reason; not
      // for a file that cannot even be read.
      {FileState::Readable, "Access is denied.",
       "  Settings read. To save, run as administrator or make the folder writable.", kWayOut},
      {FileState::Absent, "Access is denied.",
       "  No zorvikqm.ini. To save, run as administrator or make the folder writable.", kWayOut},
      {FileState::Unreadable, "Access is denied.", "  Cannot read or save zorvikqm.ini: Access is denied.", kWayOut},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(line_of(notice_for({c.state, c.reason}, "/zq/zorvikqm.ini", "", {"", c.way_out}), 0), c.notice);
  }
}

TEST(Notice, NamesTheFolder) {
  // A terminal in UTF-8; the Windows console's cells take these letters in any code page.
  std::setlocale(LC_CTYPE, "C.UTF-8");
  const std::string deep = "/" + std::string(40, 'a') + "/" + std::string(40, 'b');
  const struct {
    std::string path, home, line;
    std::string_view label = {};
  } cases[] = {
      {"/home/ann/games/zq/zorvikqm.ini", "/home/ann", "  Folder: ~/games/zq"},
      {"/home/ann/zorvikqm.ini", "/home/ann/", "  Folder: ~"},
      {"/home/anna/zorvikqm.ini", "/home/ann", "  Folder: /home/anna"},
      {"/srv/zq/zorvikqm.ini", "/", "  Folder: /srv/zq"},
      {"/zorvikqm.ini", "", "  Folder: /"},
      {"C:\\Games\\ZQ\\zorvikqm.ini", "", "  Folder: C:\\Games\\ZQ"},
      {"C:\\zorvikqm.ini", "", "  Folder: C:\\"},
      {"zorvikqm.ini", "/home/ann", "  Folder: the current one, which the system cannot name"},
      // A line break in a name would otherwise split the notice.
      {"/tmp/a\nb/zorvikqm.ini", "", "  Folder: /tmp/a?b"},
      // Too long: cut from the left, keeping the folder's own name.
      {deep + "/zorvikqm.ini", "", "  Folder: ..." + deep.substr(deep.size() - 65)},
      // Letters beyond ASCII as they are; wide ones cut whole: 10 + 3 + 32 * 2 = 77 cells.
      {"/home/ann/Jeux vid\xC3\xA9o/zorvikqm.ini", "/home/ann", "  Folder: ~/Jeux vid\xC3\xA9o"},
      {"/" + repeated(kGe, 40) + "/zorvikqm.ini", "", "  Folder: ..." + repeated(kGe, 32)},
      // A copy the system keeps elsewhere, named so; the label stays whole.
      {"C:\\Users\\Ann\\AppData\\Local\\VirtualStore\\Program Files (x86)\\Zorvik Quelta Marundo\\zorvikqm.ini", "",
       "  VirtualStore copy: ...VirtualStore\\Program Files (x86)\\Zorvik Quelta Marundo", "VirtualStore copy"},
  };
  for (const auto& c : cases) {
    const std::string notice = notice_for({FileState::Absent, ""}, c.path, c.home, {c.label, ""});
    EXPECT_EQ(line_of(notice, 1), c.line) << c.path;
  }
}

TEST(Notice, NeverLongerThan78Characters) {
  for (FileState state : {FileState::Absent, FileState::Readable, FileState::Unreadable}) {
    for (std::size_t length = 0; length <= 100; ++length) {
      std::string reason;
      while (reason.size() < length) reason += reason.size() % 7 == 6 ? ' ' : 'r';
      const std::string notice = notice_for({state, reason}, "/" + reason + "/zorvikqm.ini", "");
      EXPECT_LE(line_of(notice, 1).size(), 78u) << notice;
      const std::string first = line_of(notice, 0);
      EXPECT_LE(first.size(), 78u) << first;
      if (first.find(reason) != std::string::npos) continue;
      ASSERT_TRUE(first.ends_with("...")) << first;  // a cut shows
      EXPECT_NE(first[first.size() - 4], ' ') << first;
    }
  }
}

}  // namespace
}  // namespace zq
