// What the reader program gives up once it holds the source open: every
// other file (Landlock, where the kernel has it) and every system call but
// the few that reading a descriptor and writing the two pipes need
// (seccomp). The rest answer EPERM, so a libmdb gone astray can read what
// it already holds and write nowhere else.
#pragma once

#include <string>

namespace genuine {

// Applies what the kernel offers; answers what was applied, for the
// reader's first frame, or why a part was not ("seccomp: ENOSYS").
std::string ConfineReader();

}  // namespace genuine
