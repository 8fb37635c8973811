// Where the player's file is on Windows: no home folder to show, the
// per-user copy in VirtualStore, and the way out of a save that Windows
// refuses for want of permission.
#include "runtime/user_folder.h"

#include <windows.h>
#include <shlobj.h>

#include <string_view>

#include "platform/windows/wide_text.h"

namespace zq {
namespace {

// The name the notice's folder line gives a VirtualStore copy's folder.
constexpr std::string_view kCopyLabel = "VirtualStore copy";

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::wstring known_folder(const KNOWNFOLDERID& id) {
  PWSTR path = nullptr;
  std::wstring found;
  if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &path)) && path != nullptr) found = path;
  CoTaskMemFree(path);
  return found;
}

// The folder's path as the file system has it, without the \\?\ prefix:
// short (8.3) names spelled out, links and junctions followed, each name
// in its stored case. Empty when it cannot be opened.
std::wstring final_form(const std::wstring& folder) {
  HANDLE handle = CreateFileW(long_form(folder).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return {};
  const std::wstring path = grown_text([&](wchar_t* buffer, DWORD size) {
    return GetFinalPathNameByHandleW(handle, buffer, size, FILE_NAME_NORMALIZED);
  });
  CloseHandle(handle);
  return path.starts_with(L"\\\\?\\") ? path.substr(4) : path;
}

// Whether `folder` is `root` or lies under it; Windows compares names
// without regard to letter case.
bool lies_under(std::wstring_view folder, std::wstring_view root) {
  while (!root.empty() && root.back() == L'\\') root.remove_suffix(1);
  if (root.empty() || folder.size() < root.size()) return false;
  if (CompareStringOrdinal(folder.data(), static_cast<int>(root.size()), root.data(), static_cast<int>(root.size()),
                           TRUE) != CSTR_EQUAL) {
    return false;
  }
  return folder.size() == root.size() || folder[root.size()] == L'\\';
}

// Whether Windows redirects the writes of older programs in `folder` (in
// its final form) to VirtualStore: Program Files (both), the Windows folder
// and ProgramData, as the system names them.
bool redirected(const std::wstring& folder) {
  for (const KNOWNFOLDERID* id : {&FOLDERID_ProgramFiles, &FOLDERID_ProgramFilesX86, &FOLDERID_Windows,
                                  &FOLDERID_ProgramData}) {
    const std::wstring root = known_folder(*id);
    if (root.empty()) continue;
    const std::wstring final_root = final_form(root);
    if (lies_under(folder, final_root.empty() ? root : final_root)) return true;
  }
  return false;
}

}  // namespace

std::string home_folder() { return {}; }

UserFile user_file(const std::string& path) {
  const std::wstring wide = wide_from_utf8(path);
  const std::size_t slash = wide.find_last_of(L'\\');
  if (slash == std::wstring::npos) return {path, {}};
  const std::wstring folder = final_form(wide.substr(0, slash));
  // Only a folder on a drive letter has a twin in VirtualStore: its path
  // there is the folder's without the drive.
  if (folder.size() < 3 || folder[1] != L':' || folder[2] != L'\\' || !redirected(folder)) return {path, {}};
  const std::wstring local = known_folder(FOLDERID_LocalAppData);
  if (local.empty()) return {path, {}};
  const std::wstring copy = local + L"\\VirtualStore" + folder.substr(2) + wide.substr(slash);
  const DWORD attributes = GetFileAttributesW(long_form(copy).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return {path, {}};
  return {utf8_from_wide(copy), std::string(kCopyLabel)};
}

std::string way_out(const std::string& path, int code) {
  if (code != ERROR_ACCESS_DENIED) return {};
  // The same code for a read-only file and a folder of that name, which
  // neither rights nor permissions change.
  const DWORD attributes = GetFileAttributesW(long_form(wide_from_utf8(path)).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
    return {};
  }
  return "run as administrator or make the folder writable";
}

}  // namespace zq
