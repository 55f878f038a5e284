#pragma once
#include <QtGlobal>

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
