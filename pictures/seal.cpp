#include "seal.h"

#include <seccomp.h>

#include <cerrno>
#include <initializer_list>
#include <fcntl.h>
#include <sched.h>
#include <linux/landlock.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace Seal {
namespace {

// Landlock: from here on, files are read only beneath the font folders. Where the
// kernel has no Landlock, the seccomp filter alone keeps the process to reading.
bool fontFoldersOnly()
{
    const __u64 everything = LANDLOCK_ACCESS_FS_EXECUTE | LANDLOCK_ACCESS_FS_WRITE_FILE |
                             LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_READ_DIR |
                             LANDLOCK_ACCESS_FS_REMOVE_DIR | LANDLOCK_ACCESS_FS_REMOVE_FILE |
                             LANDLOCK_ACCESS_FS_MAKE_CHAR | LANDLOCK_ACCESS_FS_MAKE_DIR |
                             LANDLOCK_ACCESS_FS_MAKE_REG | LANDLOCK_ACCESS_FS_MAKE_SOCK |
                             LANDLOCK_ACCESS_FS_MAKE_FIFO | LANDLOCK_ACCESS_FS_MAKE_BLOCK |
                             LANDLOCK_ACCESS_FS_MAKE_SYM;
    landlock_ruleset_attr attributes{};
    attributes.handled_access_fs = everything;
    const int ruleset = int(::syscall(SYS_landlock_create_ruleset, &attributes, sizeof attributes, 0));
    if (ruleset < 0)
        return errno == ENOSYS || errno == EOPNOTSUPP;
    for (const char* folder : {"/usr/share/fonts", "/usr/local/share/fonts", "/usr/share/libwmf",
                               "/usr/share/ghostscript", "/var/lib/ghostscript", "/etc/fonts"}) {
        const int fd = ::open(folder, O_PATH | O_CLOEXEC);
        if (fd < 0)
            continue;
        landlock_path_beneath_attr beneath{};
        beneath.allowed_access = LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_READ_DIR;
        beneath.parent_fd = fd;
        ::syscall(SYS_landlock_add_rule, ruleset, LANDLOCK_RULE_PATH_BENEATH, &beneath, 0);
        ::close(fd);
    }
    const bool restricted = ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
                            ::syscall(SYS_landlock_restrict_self, ruleset, 0) == 0;
    ::close(ruleset);
    return restricted;
}

} // namespace

bool Install(FileOpening opening)
{
    // What no picture needs fails with an error, so that a library asking a harmless question
    // (the C library's allocator reading /proc/sys/vm/overcommit_memory or the processors online
    // from /sys, as its threads come and go) goes on without the answer, as it does where the file
    // is missing. What an exploited decoder would be after ends the process at once (below).
    scmp_filter_ctx filter = seccomp_init(SCMP_ACT_ERRNO(ENOSYS));
    if (!filter)
        return false;
    bool ok = true;
    const auto allow = [&](int call) { ok = ok && seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, 0) == 0; };
    const auto kill = [&](int call) { ok = ok && seccomp_rule_add(filter, SCMP_ACT_KILL_PROCESS, call, 0) == 0; };
    // Reading what it was handed and writing its result.
    for (int call : {SCMP_SYS(read), SCMP_SYS(readv), SCMP_SYS(pread64), SCMP_SYS(write), SCMP_SYS(writev),
                     SCMP_SYS(lseek), SCMP_SYS(fstat), SCMP_SYS(close), SCMP_SYS(poll),
                     SCMP_SYS(ppoll), SCMP_SYS(fcntl)})
        allow(call);
    // A picture's file handed over its channel (standard input) as a descriptor; on any other
    // descriptor, receiving ends the process (below).
    ok = ok && seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(recvmsg), 1, SCMP_A0(SCMP_CMP_EQ, STDIN_FILENO)) == 0;
    ok = ok && seccomp_rule_add(filter, SCMP_ACT_KILL_PROCESS, SCMP_SYS(recvmsg), 1,
                                SCMP_A0(SCMP_CMP_NE, STDIN_FILENO)) == 0;
    // The facts of a descriptor it holds, never of a path.
    ok = ok && seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(newfstatat), 1,
                                SCMP_A3(SCMP_CMP_MASKED_EQ, AT_EMPTY_PATH, AT_EMPTY_PATH)) == 0;
    // Memory.
    for (int call : {SCMP_SYS(brk), SCMP_SYS(munmap), SCMP_SYS(mremap), SCMP_SYS(madvise), SCMP_SYS(membarrier)})
        allow(call);
    // Never memory that runs: every library it needs is loaded before the seal. Asked for, it ends the process.
    ok = ok && seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(mmap), 1, SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0)) == 0;
    ok = ok && seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(mprotect), 1,
                                SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0)) == 0;
    for (int call : {SCMP_SYS(mmap), SCMP_SYS(mprotect), SCMP_SYS(pkey_mprotect)})
        ok = ok && seccomp_rule_add(filter, SCMP_ACT_KILL_PROCESS, call, 1,
                                    SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, PROT_EXEC)) == 0;
    // The decoders' own threads, their locks and clocks; signals to itself; the end.
    for (int call : {SCMP_SYS(futex), SCMP_SYS(set_robust_list), SCMP_SYS(rseq), SCMP_SYS(sched_yield),
                     SCMP_SYS(sched_getaffinity), SCMP_SYS(getpid), SCMP_SYS(gettid), SCMP_SYS(getrandom),
                     SCMP_SYS(clock_gettime), SCMP_SYS(clock_getres), SCMP_SYS(gettimeofday),
                     SCMP_SYS(clock_nanosleep), SCMP_SYS(nanosleep), SCMP_SYS(rt_sigaction),
                     SCMP_SYS(rt_sigprocmask), SCMP_SYS(rt_sigreturn), SCMP_SYS(sigaltstack), SCMP_SYS(getrlimit), SCMP_SYS(getrusage),
                     SCMP_SYS(prlimit64), SCMP_SYS(sysinfo), SCMP_SYS(uname), SCMP_SYS(eventfd2), SCMP_SYS(exit), SCMP_SYS(exit_group)})
        allow(call);
    // A new thread, never a new process: clone only with CLONE_THREAD; clone3's flags sit
    // behind a pointer the filter cannot read, so it is refused (ENOSYS, the default) and the C
    // library falls back to clone.
    ok = ok && seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(clone), 1,
                                SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, CLONE_THREAD)) == 0;
    ok = ok && seccomp_rule_add(filter, SCMP_ACT_KILL_PROCESS, SCMP_SYS(clone), 1,
                                SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, 0)) == 0;
    // A decoder may name its threads.
    ok = ok && seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(prctl), 1, SCMP_A0(SCMP_CMP_EQ, PR_SET_NAME)) == 0;
    // abort() signals itself, and only itself.
    ok = ok && seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(tgkill), 1, SCMP_A0(SCMP_CMP_EQ, scmp_datum_t(::getpid()))) == 0;
    ok = ok && seccomp_rule_add(filter, SCMP_ACT_KILL_PROCESS, SCMP_SYS(tgkill), 1,
                                SCMP_A0(SCMP_CMP_NE, scmp_datum_t(::getpid()))) == 0;
    // What only an exploited decoder asks for ends the process: a network or another process to
    // reach, a program to run, another process to read or steer, the kernel's other doors (io_uring
    // would open files past this filter), memory made to run through the personality flags.
    for (int call : {SCMP_SYS(socket), SCMP_SYS(socketpair), SCMP_SYS(connect), SCMP_SYS(bind), SCMP_SYS(listen),
                     SCMP_SYS(accept), SCMP_SYS(accept4), SCMP_SYS(sendto), SCMP_SYS(sendmsg), SCMP_SYS(sendmmsg),
                     SCMP_SYS(recvmmsg), SCMP_SYS(execve), SCMP_SYS(execveat), SCMP_SYS(fork),
                     SCMP_SYS(vfork), SCMP_SYS(ptrace), SCMP_SYS(process_vm_readv), SCMP_SYS(process_vm_writev),
                     SCMP_SYS(kill), SCMP_SYS(tkill), SCMP_SYS(pidfd_open), SCMP_SYS(pidfd_getfd),
                     SCMP_SYS(pidfd_send_signal), SCMP_SYS(io_uring_setup), SCMP_SYS(io_uring_enter),
                     SCMP_SYS(io_uring_register), SCMP_SYS(bpf), SCMP_SYS(perf_event_open), SCMP_SYS(userfaultfd),
                     SCMP_SYS(unshare), SCMP_SYS(setns), SCMP_SYS(mount), SCMP_SYS(personality)})
        kill(call);
    // No file opened: refused (an error the asker handles), never allowed.
    if (opening == FileOpening::Kills) {
        for (int call : {SCMP_SYS(open), SCMP_SYS(openat), SCMP_SYS(openat2), SCMP_SYS(creat),
                         SCMP_SYS(open_by_handle_at), SCMP_SYS(name_to_handle_at)})
            ok = ok && seccomp_rule_add(filter, SCMP_ACT_ERRNO(EACCES), call, 0) == 0;
    }
    if (opening == FileOpening::FontsOnly) {
        // To read, never to write or make: no write access, no O_CREAT, no O_TRUNC.
        const scmp_datum_t writing = O_ACCMODE | O_CREAT | O_TRUNC;
        ok = ok && seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(openat), 1,
                                    SCMP_A2(SCMP_CMP_MASKED_EQ, writing, O_RDONLY)) == 0;
        ok = ok && seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(open), 1,
                                    SCMP_A1(SCMP_CMP_MASKED_EQ, writing, O_RDONLY)) == 0;
        ok = ok && seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(newfstatat), 1,
                                    SCMP_A3(SCMP_CMP_MASKED_EQ, AT_EMPTY_PATH, 0)) == 0;
        ok = ok && seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(access), 0) == 0;
        ok = ok && seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(readlink), 0) == 0;
        ok = ok && seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(getdents64), 0) == 0;
        ok = ok && fontFoldersOnly();
    }
    ok = ok && seccomp_load(filter) == 0;
    seccomp_release(filter);
    return ok;
}

} // namespace Seal
