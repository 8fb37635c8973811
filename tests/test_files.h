// Files for tests: a private temporary directory, whole-file reading and
// writing, and the file that saving the default options creates.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace zq::test {

namespace fs = std::filesystem;

// Paths are UTF-8 in the program; these turn them into the system's paths
// and back, so a name outside the ANSI code page survives on Windows.
inline fs::path native_path(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }
inline std::string utf8_path(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// A fresh directory in the system's temporary folder (/tmp on Unix, so the
// tests also run as an unprivileged user), removed with everything in it
// afterwards.
class TempDir {
 public:
  TempDir() {
    static std::atomic<unsigned> counter{0};
    const fs::path base = fs::temp_directory_path();
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    for (int attempt = 0; attempt < 100; ++attempt) {
      const fs::path candidate =
          base / ("zqtest-" + std::to_string(stamp % 1000000007) + "-" + std::to_string(counter++));
      std::error_code failed;
      if (fs::create_directory(candidate, failed)) {
        path_ = utf8_path(candidate);
        return;
      }
    }
    std::abort();
  }
  ~TempDir() {
    std::error_code ignored;
    // A test may have closed it.
    fs::permissions(native_path(path_), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(native_path(path_), ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return utf8_path(native_path(path_) / native_path(name)); }

 private:
  std::string path_;
};

inline std::string read_file(const std::string& path) {
  std::ifstream in(native_path(path), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void write_file(const std::string& path, const std::string& content) {
  std::ofstream(native_path(path), std::ios::binary) << content;
}

// A UTF-16 file's bytes: the byte order mark FF FE (little endian) or FE FF
// (big endian), then the text's units in that order.
inline std::string utf16_file(std::u16string_view text, bool big_endian = false) {
  std::string bytes = big_endian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char16_t unit : text) {
    const char high = static_cast<char>(unit >> 8);
    const char low = static_cast<char>(unit & 0xFF);
    bytes += big_endian ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}

// What saving the default options gives in a directory without the file.
inline const std::string kDefaultFile =
    "[CONFIG]\r\nscreenmode=0\r\nscreendepth=16\r\nsyncrate=35\r\ngraphicdetail=0\r\n"
    "playsound=10\r\nplaymusic=10\r\nattractsound=1\r\ngamemode=0\r\ngamelevel=1\r\n"
    "consolecredits=3\r\narcadecredits=0\r\ncontinues=1\r\nextralives=2\r\nbonuslives=1\r\n"
    "fightstyle=0\r\nchangestyle=1\r\ncolorselect=1\r\nplayerhitplayer=1\r\n"
    "characterchange=1\r\nsavehiscores=1\r\nlanguage=0\r\n";

}  // namespace zq::test
