// What a file made to replace another takes of its security: the owner
// and the access list, as a replacement by ReplaceFileW would keep them.
#pragma once

#include <windows.h>

namespace zq {

// Gives the new file the old one's security, as ReplaceFileW would: the
// owner must already be the same (only an administrator may give a file
// away), and the old access list is copied where it differs from the one
// the new file inherited. The copy is read back: Wine turns an access list
// into Unix modes and back, and would widen a mode of 0640 to 0775. 0, or
// ERROR_INVALID_OWNER where the new file cannot keep them; a file system
// without security passes.
int keep_security(HANDLE old_file, HANDLE new_file);

}  // namespace zq
