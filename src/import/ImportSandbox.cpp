#include "import/ImportSandbox.h"

#if defined(__linux__) && defined(CORVANE_HAVE_SECCOMP)
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <seccomp.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <unistd.h>

#ifndef __O_TMPFILE
#define __O_TMPFILE 020000000
#endif

namespace {

struct Filter
{
    scmp_filter_ctx ctx = seccomp_init(SCMP_ACT_ERRNO(EPERM));
    ~Filter()
    {
        if (ctx)
            seccomp_release(ctx);
    }
};

// A syscall this architecture lacks (open, stat on arm64) is left out: refused either way.
void Allow(scmp_filter_ctx ctx, int nr)
{
    if (nr >= 0)
        seccomp_rule_add(ctx, SCMP_ACT_ALLOW, nr, 0);
}

// Opening for reading only; any other opening fails with EACCES, as a read-only file system
// would make it.
int OpenRules(scmp_filter_ctx ctx, int nr, unsigned flagsArg)
{
    if (nr < 0)
        return 0;
    const scmp_datum_t writing = O_ACCMODE | O_CREAT | O_TRUNC | O_APPEND | __O_TMPFILE;
    int rc = seccomp_rule_add(ctx, SCMP_ACT_ALLOW, nr, 1, SCMP_CMP(flagsArg, SCMP_CMP_MASKED_EQ, writing, 0));
    for (scmp_datum_t bit : {scmp_datum_t(O_WRONLY), scmp_datum_t(O_RDWR), scmp_datum_t(O_CREAT),
                             scmp_datum_t(O_TRUNC), scmp_datum_t(O_APPEND), scmp_datum_t(__O_TMPFILE)}) {
        if (rc == 0)
            rc = seccomp_rule_add(ctx, SCMP_ACT_ERRNO(EACCES), nr, 1, SCMP_CMP(flagsArg, SCMP_CMP_MASKED_EQ, bit, bit));
    }
    return rc;
}

} // namespace

bool ImportSandboxAvailable() { return true; }

QString EnterImportSandbox()
{
    const auto failed = [](const char *step, int error) {
        return QStringLiteral("%1 failed (%2)").arg(QLatin1String(step), QString::fromLocal8Bit(strerror(error)));
    };
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return failed("no-new-privileges", errno);
    Filter f;
    if (!f.ctx)
        return failed("seccomp_init", ENOMEM);
    // What the readers, glib, libgsf, libmdb, shapelib, Qt's core and the C and C++ runtimes
    // use once running: reading, memory, time, threads' wake-ups, signals to this process.
    for (int nr : {
             SCMP_SYS(read), SCMP_SYS(readv), SCMP_SYS(pread64), SCMP_SYS(preadv), SCMP_SYS(preadv2),
             SCMP_SYS(write), SCMP_SYS(writev),   // only descriptors open already: the pipe, stderr
             SCMP_SYS(lseek), SCMP_SYS(close), SCMP_SYS(fstat), SCMP_SYS(newfstatat), SCMP_SYS(stat),
             SCMP_SYS(lstat), SCMP_SYS(statx), SCMP_SYS(fstatfs), SCMP_SYS(statfs), SCMP_SYS(getdents64),
             SCMP_SYS(readlink), SCMP_SYS(readlinkat), SCMP_SYS(access), SCMP_SYS(faccessat),
             SCMP_SYS(faccessat2), SCMP_SYS(getcwd), SCMP_SYS(fcntl), SCMP_SYS(dup), SCMP_SYS(dup2),
             SCMP_SYS(dup3), SCMP_SYS(fadvise64), SCMP_SYS(mmap), SCMP_SYS(munmap), SCMP_SYS(mremap),
             SCMP_SYS(mprotect), SCMP_SYS(madvise), SCMP_SYS(brk), SCMP_SYS(futex), SCMP_SYS(set_robust_list),
             SCMP_SYS(get_robust_list), SCMP_SYS(rseq), SCMP_SYS(membarrier), SCMP_SYS(rt_sigaction),
             SCMP_SYS(rt_sigprocmask), SCMP_SYS(rt_sigreturn), SCMP_SYS(sigaltstack), SCMP_SYS(restart_syscall),
             SCMP_SYS(exit), SCMP_SYS(exit_group), SCMP_SYS(getpid), SCMP_SYS(gettid), SCMP_SYS(getppid),
             SCMP_SYS(getuid), SCMP_SYS(geteuid), SCMP_SYS(getgid), SCMP_SYS(getegid), SCMP_SYS(getresuid),
             SCMP_SYS(getresgid), SCMP_SYS(getrandom), SCMP_SYS(clock_gettime), SCMP_SYS(clock_getres),
             SCMP_SYS(gettimeofday), SCMP_SYS(time), SCMP_SYS(nanosleep), SCMP_SYS(clock_nanosleep),
             SCMP_SYS(sched_yield), SCMP_SYS(sched_getaffinity), SCMP_SYS(getrlimit), SCMP_SYS(getrusage),
             SCMP_SYS(times), SCMP_SYS(uname), SCMP_SYS(sysinfo), SCMP_SYS(poll), SCMP_SYS(ppoll),
             SCMP_SYS(select), SCMP_SYS(pselect6),
             // a pipe of its own: the Access reader catches the library's complaints in one
             SCMP_SYS(pipe), SCMP_SYS(pipe2)})
        Allow(f.ctx, nr);
    int rc = 0;
    const auto add = [&](uint32_t action, int nr, unsigned count, auto... conditions) {
        if (rc == 0 && nr >= 0)
            rc = seccomp_rule_add(f.ctx, action, nr, count, conditions...);
    };
    // Threads, but no new process (clone3 says "not here", so the C library falls back to clone).
    add(SCMP_ACT_ALLOW, SCMP_SYS(clone), 1, SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, CLONE_THREAD));
    add(SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(clone3), 0);
    // abort() signals this process only.
    add(SCMP_ACT_ALLOW, SCMP_SYS(tgkill), 1, SCMP_A0(SCMP_CMP_EQ, scmp_datum_t(::getpid())));
    // Reading the limits, not raising them.
    add(SCMP_ACT_ALLOW, SCMP_SYS(prlimit64), 1, SCMP_A2(SCMP_CMP_EQ, 0));
    // isatty() on standard error.
    add(SCMP_ACT_ALLOW, SCMP_SYS(ioctl), 1, SCMP_A1(SCMP_CMP_EQ, TCGETS));
    if (rc == 0)
        rc = OpenRules(f.ctx, SCMP_SYS(open), 1);
    if (rc == 0)
        rc = OpenRules(f.ctx, SCMP_SYS(openat), 2);
    add(SCMP_ACT_ERRNO(EACCES), SCMP_SYS(creat), 0);
    add(SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(openat2), 0);   // no flags to look at: the C library falls back
    if (rc != 0)
        return failed("a seccomp rule", -rc);
    rc = seccomp_load(f.ctx);
    if (rc != 0)
        return failed("seccomp_load", -rc);
    return {};
}

#else

bool ImportSandboxAvailable() { return false; }

QString EnterImportSandbox() { return {}; }

#endif
