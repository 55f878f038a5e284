#include "selection/RandomSource.h"

#include <chrono>

namespace {
quint32 g_state = 0;
std::optional<quint32> g_fixedSeed;
quint32 g_lastSeed = 0;

inline void Step()
{
    g_state = g_state * 134775813u + 1u;   // unsigned arithmetic wraps mod 2^32
}
} // namespace

quint32 RandomState() { return g_state; }
void SetRandomState(quint32 state) { g_state = state; }

void SeedRandom()
{
    if (g_fixedSeed) {
        g_state = *g_fixedSeed;
    } else {
        const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
        g_state = static_cast<quint32>(static_cast<quint64>(ticks));
    }
    g_lastSeed = g_state;
}

quint32 LastRandomSeed() { return g_lastSeed; }

void SetFixedRandomSeed(std::optional<quint32> seed) { g_fixedSeed = seed; }
std::optional<quint32> FixedRandomSeed() { return g_fixedSeed; }

int RandomInt(int m)
{
    Step();
    if (m < 1)
        return 0;
    return static_cast<int>((static_cast<quint64>(g_state) * static_cast<quint64>(m)) >> 32);
}

double RandomReal()
{
    Step();
    return static_cast<double>(g_state) / 4294967296.0;
}
