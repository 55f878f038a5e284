#pragma once
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#ifdef __linux__
#include <sys/mman.h>
#endif

// Asks for memory ahead of a pass that visits it out of order (members by display position,
// their texts by pointer): the pass waits on memory, not on its own work. Nothing elsewhere.
inline void Prefetch(const void *p)
{
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(p);
#else
    Q_UNUSED(p);
#endif
}

// Asks the system to back a large block not yet written with 2 MB pages: a list of tens of
// thousands of members is otherwise brought in 4 KB at a time, a trip into the kernel each
// (dear on a virtual machine). Only the whole 2 MB pages inside the block; a hint, no more.
inline void AdviseHugePages(const void *p, size_t bytes)
{
#ifdef __linux__
    constexpr uintptr_t huge = uintptr_t(2) << 20;
    const uintptr_t from = (reinterpret_cast<uintptr_t>(p) + huge - 1) & ~(huge - 1);
    const uintptr_t to = (reinterpret_cast<uintptr_t>(p) + bytes) & ~(huge - 1);
    if (to > from)
        ::madvise(reinterpret_cast<void *>(from), to - from, MADV_HUGEPAGE);
#else
    Q_UNUSED(p);
    Q_UNUSED(bytes);
#endif
}
