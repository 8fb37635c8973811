// What a file made to replace another takes of it: the owner and group,
// the mode, and every extended attribute (access lists included), so that
// the replacement gives every access the old file gave, no more, no less.
#pragma once

namespace zq {

// Gives the new file `fd` the mode, owner and extended attributes of `like`
// and no other attributes (a folder's default access list gives a new file
// one); 0, EPERM (the store's "not kept") where one could not be set or
// removed, or the errno of a failure to read them.
int keep_likeness(int like, int fd);

}  // namespace zq
