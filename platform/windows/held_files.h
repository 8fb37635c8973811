// Virus scanners, the search indexer and sync clients open a file that was
// just written or renamed for a few milliseconds, often without letting it
// be deleted or renamed over; the game may hold it for longer. An open or a
// rename that such a holder refuses is tried again for up to 2 seconds,
// every 50 ms. Once a wait has run out, the calls of the next 2 seconds do
// not wait again, so that the reads of start-up give up together rather
// than one after another.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace zq {

// Whether an open refused with access denied met a file that is being
// deleted (its name goes once its holders close it): no file in that state
// opens even to read its attributes, while a file that is merely not ours
// to write does.
bool delete_pending(const std::wstring& path);

// Runs `attempt` (0 or an error code) again while it fails with a sharing
// or lock violation, or with access denied where `denied_by_holder` says
// that another process holds the file; its last code.
int while_held(const std::function<int()>& attempt, const std::function<bool()>& denied_by_holder);

}  // namespace zq
