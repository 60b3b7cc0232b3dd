#pragma once

#include <sys/stat.h>
#include <QList>
#include <QString>

#include "core/files/file_system.h"

// What a file that replaces another takes over from it besides the content: owner, group,
// permission bits and extended attributes, the access control list (system.posix_acl_access)
// among them.

// Gives the file open as to the owner and group, where they differ from its own; fails where the
// caller may not give them: the new file would then belong to someone else than the old one did.
Result<Done> takeOwner(int to, uid_t owner, gid_t group);

// Gives the file open as to every extended attribute that the file open as from has and shows
// the caller, and then from's permission bits, mode; to has no access control list that from does
// not have. Answers the attributes that could not be copied, or why the file could
// not be given its rights at all. Where the access control list could not be copied, the group
// loses its permission bits rather than gain what the list's mask let through.
Result<QList<LostAttribute>> copyAttributes(int from, mode_t mode, int to);
