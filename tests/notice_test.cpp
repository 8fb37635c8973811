// The notice line: what it says for each finding about zorvikqm.ini, and
// that it keeps within 78 characters whatever the system's reason.
#include <gtest/gtest.h>

#include <string>

#include "app/setup_flow.h"

namespace zq {
namespace {

TEST(Notice, SaysWhetherTheFileWasFoundAndWhySavingCannotWork) {
  const struct {
    FileState state;
    std::string reason;
    std::string notice;
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
  };
  for (const auto& c : cases) EXPECT_EQ(notice_for({c.state, c.reason}), c.notice) << c.reason;
}

TEST(Notice, NeverLongerThan78Characters) {
  for (FileState state : {FileState::Absent, FileState::Readable, FileState::Unreadable}) {
    for (std::size_t length = 0; length <= 100; ++length) {
      std::string reason;
      while (reason.size() < length) reason += reason.size() % 7 == 6 ? ' ' : 'r';
      const std::string notice = notice_for({state, reason});
      EXPECT_LE(notice.size(), 78u) << notice;
      if (notice.find(reason) != std::string::npos) continue;
      ASSERT_TRUE(notice.ends_with("...")) << notice;  // a cut shows
      EXPECT_NE(notice[notice.size() - 4], ' ') << notice;
    }
  }
}

}  // namespace
}  // namespace zq
