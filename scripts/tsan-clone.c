/* Preloaded into the ThreadSanitizer runs (scripts/tsan.sh).
 *
 * QProcess starts its children with clone(CLONE_VM | CLONE_VFORK). The sanitizer's clone()
 * resets its state in the child as after a fork, and with CLONE_VM that state is the
 * parent's: from the first child program on, the starting thread reports nothing and the
 * process's next thread ends the run ("starting new threads after multi-threaded fork").
 * A child sharing our memory only runs until exec, so it goes past the sanitizer. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <sched.h>
#include <stdarg.h>
#include <sys/types.h>

extern int __clone(int (*fn)(void *), void *stack, int flags, void *arg, ...);

typedef int (*clone_fn)(int (*)(void *), void *, int, void *, ...);

int clone(int (*fn)(void *), void *stack, int flags, void *arg, ...)
{
    va_list ap;
    va_start(ap, arg);
    pid_t *parent_tid = va_arg(ap, pid_t *);
    void *tls = va_arg(ap, void *);
    pid_t *child_tid = va_arg(ap, pid_t *);
    va_end(ap);
    if ((flags & CLONE_VM) && !(flags & CLONE_THREAD))
        return __clone(fn, stack, flags, arg, parent_tid, tls, child_tid);
    clone_fn next = (clone_fn)dlsym(RTLD_NEXT, "clone");
    return next(fn, stack, flags, arg, parent_tid, tls, child_tid);
}
