#include "platform/windows/held_files.h"

#include <atomic>
#include <chrono>

namespace zq {
namespace {

constexpr auto kHeldWait = std::chrono::milliseconds(2000);
constexpr DWORD kHeldPause = 50;  // milliseconds
std::atomic<std::chrono::steady_clock::rep> g_wait_ran_out{0};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

bool delete_pending(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_ACCESS_DENIED;
  CloseHandle(file);
  return false;
}

int while_held(const std::function<int()>& attempt, const std::function<bool()>& denied_by_holder) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  const Clock::time_point ran_out{Clock::duration(g_wait_ran_out.load())};
  const bool patient = g_wait_ran_out.load() == 0 || start - ran_out >= kHeldWait;
  int code = attempt();
  while (patient && (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION ||
                     (code == ERROR_ACCESS_DENIED && denied_by_holder()))) {
    if (Clock::now() - start >= kHeldWait) {
      g_wait_ran_out = Clock::now().time_since_epoch().count();
      break;
    }
    Sleep(kHeldPause);
    code = attempt();
  }
  return code;
}

}  // namespace zq
