// Times load_settings followed by save_settings on the 325-byte file a first
// save creates and on a 1 MB file with many other sections (and the same in
// UTF-16), each both with an unchanged save (reads only) and with every
// option changed (21 rewrites).
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/settings.h"

namespace {

using Clock = std::chrono::steady_clock;

// Two sets of options that differ in every value.
zq::SetupSettings variant(int which) {
  zq::SetupSettings s;
  zq::SetupSettings defaults;
  zq::load_settings(defaults, "/nonexistent/zorvikqm.ini");
  if (which == 0) return defaults;
  s.screenmode = 1;
  s.screendepth = 1;
  s.graphicdetail = 1;
  s.playmusic = 4;
  s.playsound = 5;
  s.attractsound = 0;
  s.gamemode = 1;
  s.gamelevel = 3;
  s.syncrate = 7;
  s.consolecredits = 9;
  s.arcadecredits = 6;
  s.continues = 0;
  s.extralives = 3;
  s.bonuslives = 4;
  s.fightstyle = 1;
  s.changestyle = 0;
  s.colorselect = 0;
  s.playerhitplayer = 0;
  s.characterchange = 0;
  s.savehiscores = 0;
  s.language = 1;
  return s;
}

// Mean milliseconds of one load plus one save; `change` alternates the
// options so that every save rewrites all 21 keys.
double time_load_save(const std::string& path, int rounds, bool change) {
  const auto start = Clock::now();
  for (int i = 0; i < rounds; ++i) {
    zq::SetupSettings s;
    zq::load_settings(s, path);
    const zq::SaveResult r = zq::save_settings(change ? variant(i % 2) : s, s, path);
    if (!r.ok) {
      std::fprintf(stderr, "save failed: %s\n", r.error.c_str());
      std::exit(1);
    }
  }
  const std::chrono::duration<double, std::milli> total = Clock::now() - start;
  return total.count() / rounds;
}

std::string big_file() {
  std::string content = "; generated\r\n\r\n";
  for (int section = 0; content.size() < (1u << 20); ++section) {
    content += "[Section" + std::to_string(section) + "]\r\n";
    for (int key = 0; key < 8; ++key) {
      content += "key" + std::to_string(key) + "=value " + std::to_string(section * 8 + key) + "\r\n";
    }
    content += "\r\n";
  }
  return content + "[CONFIG]\r\nscreenmode=0\r\n";  // found last: the slowest case
}

// The same text as UTF-16LE with its byte order mark (the text is ASCII).
std::string utf16_file(const std::string& ascii) {
  std::string bytes = "\xFF\xFE";
  for (const char c : ascii) bytes += std::string{c, '\0'};
  return bytes;
}

}  // namespace

int main() {
  // A fresh directory in the system's temporary folder, on every system.
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  const std::filesystem::path dir_path =
      std::filesystem::temp_directory_path() / ("zq-bench-" + std::to_string(stamp));
  std::error_code failed;
  if (!std::filesystem::create_directory(dir_path, failed)) {
    std::fprintf(stderr, "cannot create %s: %s\n", dir_path.string().c_str(), failed.message().c_str());
    return 1;
  }
  const std::string dir = dir_path.string();
  const std::string small = dir + "/zorvikqm.ini";
  const std::string large = dir + "/large.ini";
  const std::string wide = dir + "/wide.ini";

  zq::save_settings(variant(0), small);
  std::ofstream(large, std::ios::binary) << big_file();
  std::ofstream(wide, std::ios::binary) << utf16_file(big_file());
  const auto size_of = [](const std::string& p) { return std::filesystem::file_size(p); };

  std::printf("file                     bytes   load+save unchanged   load+save all changed\n");
  const std::size_t small_size = size_of(small);
  const double small_same = time_load_save(small, 200, false);
  const double small_changed = time_load_save(small, 50, true);
  std::printf("%-22s %8zu %17.3f ms %20.3f ms\n", "first-save file", small_size, small_same,
              small_changed);
  const std::size_t large_size = size_of(large);
  const double large_same = time_load_save(large, 5, false);
  const double large_changed = time_load_save(large, 5, true);
  std::printf("%-22s %8zu %17.3f ms %20.3f ms\n", "many other sections", large_size, large_same,
              large_changed);
  const std::size_t wide_size = size_of(wide);
  const double wide_same = time_load_save(wide, 5, false);
  const double wide_changed = time_load_save(wide, 5, true);
  std::printf("%-22s %8zu %17.3f ms %20.3f ms\n", "the same in UTF-16", wide_size, wide_same,
              wide_changed);

  std::filesystem::remove_all(dir);
  return 0;
}
