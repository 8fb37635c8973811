// The notice under the banner: what start-up found of zorvikqm.ini and the
// folder it is in, each on a line of its own, cut to fit.
#include "app/config_notice.h"

#include <algorithm>

#include "app/prompts.h"
#include "runtime/characters.h"
#include "runtime/display_text.h"
#include "runtime/user_folder.h"

namespace zq {
namespace {

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

}  // namespace zq
