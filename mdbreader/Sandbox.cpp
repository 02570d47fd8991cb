#include "mdbreader/Sandbox.h"

#include <linux/filter.h>
#include <linux/landlock.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <vector>

#if defined(__x86_64__)
#include <linux/audit.h>
#endif

namespace genuine {

namespace {

std::string LandlockEverything() {
#if defined(SYS_landlock_create_ruleset) && defined(SYS_landlock_restrict_self)
    // Every file-system right of the first Landlock version handled and
    // none granted: no file or folder can be opened or changed any more;
    // the descriptors already open stay usable.
    landlock_ruleset_attr attr{};
    attr.handled_access_fs = (LANDLOCK_ACCESS_FS_MAKE_SYM << 1) - 1;
    const long ruleset = ::syscall(SYS_landlock_create_ruleset, &attr, sizeof attr, 0);
    if (ruleset < 0) return std::string("landlock: ") + std::strerror(errno);
    const long restricted = ::syscall(SYS_landlock_restrict_self, ruleset, 0);
    const int error = errno;
    ::close(static_cast<int>(ruleset));
    if (restricted != 0) return std::string("landlock: ") + std::strerror(error);
    return "landlock";
#else
    return "landlock: not built";
#endif
}

std::string SeccompFilter() {
#if defined(__x86_64__)
    using Filter = sock_filter;
    std::vector<Filter> f;
    auto statement = [&](unsigned short code, unsigned k) { f.push_back(BPF_STMT(code, k)); };
    auto allow = [&](long nr) {
        f.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<unsigned>(nr), 0, 1));
        statement(BPF_RET | BPF_K, SECCOMP_RET_ALLOW);
    };
    statement(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch));
    f.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0));
    statement(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS);
    statement(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr));
    // Writing: only to standard output and error (the warnings' pipe) and
    // descriptor 3 (the frames).
    for (long nr : {long{SYS_write}, long{SYS_writev}}) {
        f.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<unsigned>(nr), 0, 4));
        statement(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[0]));
        f.push_back(BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, 4, 1, 0));
        statement(BPF_RET | BPF_K, SECCOMP_RET_ALLOW);
        statement(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM);
    }
    for (long nr : {SYS_read,
                    SYS_readv,
                    SYS_pread64,
                    SYS_lseek,
                    SYS_fstat,
                    SYS_newfstatat,
                    SYS_mmap,
                    SYS_munmap,
                    SYS_mremap,
                    SYS_mprotect,
                    SYS_madvise,
                    SYS_brk,
                    SYS_futex,
                    SYS_close,
                    SYS_exit,
                    SYS_exit_group,
                    SYS_rt_sigreturn,
                    SYS_rt_sigprocmask,
                    SYS_rt_sigaction,
                    SYS_sigaltstack,
                    SYS_getpid,
                    SYS_gettid,
                    SYS_tgkill,
                    SYS_clock_gettime,
                    SYS_clock_nanosleep,
                    SYS_nanosleep,
                    SYS_getrandom,
                    SYS_sched_yield}) {
        allow(nr);
    }
    statement(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM);
    sock_fprog program{static_cast<unsigned short>(f.size()), f.data()};
    if (::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
        return std::string("seccomp: ") + std::strerror(errno);
    return "seccomp";
#else
    return "seccomp: not built for this processor";
#endif
}

}  // namespace

std::string ConfineReader() {
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return std::string("no_new_privs: ") + std::strerror(errno);
    return LandlockEverything() + ", " + SeccompFilter();
}

}  // namespace genuine
