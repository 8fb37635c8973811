// Root passes file permissions by, so a test of them that runs as root acts
// as user nobody while it runs: the effective user and group only, which
// root takes back afterwards. The kernel then checks every file access
// against nobody, and the effective capabilities are gone with root.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace zq::test {

// While it lives, this process acts as user nobody if it ran as root. Files
// made meanwhile are nobody's, so make the test's folder after it.
class AsNobody {
 public:
  AsNobody() {
    if (geteuid() != 0) return;
    if (setegid(kNobody) != 0 || seteuid(kNobody) != 0) {
      refused = std::strerror(errno);
      if (setegid(group_) != 0) std::abort();
      return;
    }
    dropped_ = true;
  }
  ~AsNobody() {
    // A process that cannot become root again would run the next tests wrongly.
    if (dropped_ && (seteuid(0) != 0 || setegid(group_) != 0)) std::abort();
  }
  AsNobody(const AsNobody&) = delete;
  AsNobody& operator=(const AsNobody&) = delete;

  // Why root could not act as nobody (a user namespace without that user,
  // say); empty when it could, or when the process was not root.
  std::string refused;

 private:
  static constexpr uid_t kNobody = 65534;
  gid_t group_ = getegid();
  bool dropped_ = false;
};

}  // namespace zq::test
