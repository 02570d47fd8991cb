// An exclusive flock taken without waiting, the one way the locks of this
// program try a lock file.
#pragma once

#include <sys/file.h>

#include <cerrno>

namespace platform {

// 0 when `fd` is now locked; otherwise the errno: EWOULDBLOCK when another
// open file description holds it, anything else when it cannot be locked.
inline int TryExclusiveFlock(int fd) {
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    return rc == 0 ? 0 : errno;
}

}  // namespace platform
