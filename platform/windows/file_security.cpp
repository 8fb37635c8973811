#include "platform/windows/file_security.h"

#include <aclapi.h>

#include <cstring>

namespace zq {
namespace {

// The owner and access list of an open file.
struct Security {
  PSID owner = nullptr;
  PACL list = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;  // holds both
  Security() = default;
  Security(const Security&) = delete;
  Security& operator=(const Security&) = delete;
  ~Security() { LocalFree(descriptor); }
  bool read(HANDLE file) {
    LocalFree(descriptor);
    descriptor = nullptr;
    return GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                           nullptr, &list, nullptr, &descriptor) == ERROR_SUCCESS;
  }
};

bool same_list(PACL a, PACL b) {
  return a != nullptr && b != nullptr && a->AclSize == b->AclSize && std::memcmp(a, b, a->AclSize) == 0;
}

}  // namespace

int keep_security(HANDLE old_file, HANDLE new_file) {
  Security old;
  Security fresh;
  if (!old.read(old_file) || !fresh.read(new_file) || old.list == nullptr) return 0;
  if (old.owner != nullptr && fresh.owner != nullptr && !EqualSid(old.owner, fresh.owner)) return ERROR_INVALID_OWNER;
  if (same_list(old.list, fresh.list)) return 0;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorControl(old.descriptor, &control, &revision);
  const SECURITY_INFORMATION how =
      DACL_SECURITY_INFORMATION | ((control & SE_DACL_PROTECTED) != 0 ? PROTECTED_DACL_SECURITY_INFORMATION
                                                                      : UNPROTECTED_DACL_SECURITY_INFORMATION);
  if (SetSecurityInfo(new_file, SE_FILE_OBJECT, how, nullptr, nullptr, old.list, nullptr) != ERROR_SUCCESS ||
      !fresh.read(new_file) || !same_list(old.list, fresh.list)) {
    return ERROR_INVALID_OWNER;
  }
  return 0;
}

}  // namespace zq
