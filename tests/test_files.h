// Files for tests: a private temporary directory, whole-file reading and
// writing, and the file that saving the default options creates.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace zq::test {

// A fresh directory under /tmp (so the tests also run as an unprivileged
// user), removed with everything in it afterwards.
class TempDir {
 public:
  TempDir() {
    char name[] = "/tmp/zqtest-XXXXXX";
    if (::mkdtemp(name) == nullptr) std::abort();
    path_ = name;
  }
  ~TempDir() {
    std::error_code ignored;
    ::chmod(path_.c_str(), 0700);  // a test may have closed it
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void write_file(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

// What saving the default options gives in a directory without the file.
inline const std::string kDefaultFile =
    "[CONFIG]\r\nscreenmode=0\r\nscreendepth=16\r\nsyncrate=35\r\ngraphicdetail=0\r\n"
    "playsound=10\r\nplaymusic=10\r\nattractsound=1\r\ngamemode=0\r\ngamelevel=1\r\n"
    "consolecredits=3\r\narcadecredits=0\r\ncontinues=1\r\nextralives=2\r\nbonuslives=1\r\n"
    "fightstyle=0\r\nchangestyle=1\r\ncolorselect=1\r\nplayerhitplayer=1\r\n"
    "characterchange=1\r\nsavehiscores=1\r\nlanguage=0\r\n";

}  // namespace zq::test
