#pragma once
#include <QtGlobal>
#include <optional>

// The program's one random source: a 32-bit linear congruential generator
// (S := S * 134775813 + 1 mod 2^32), reseeded from the clock at the start of every draw.
// Its exact sequence is part of the behaviour: the same seed and the same display order
// pick the same members.

// The current state S.
quint32 RandomState();
void SetRandomState(quint32 state);

// Seeds S for a draw: the low 32 bits of the high-resolution clock, or the fixed seed
// when one has been set (tests, the headless program's --seed).
void SeedRandom();
// std::nullopt returns to clock seeding.
void SetFixedRandomSeed(std::optional<quint32> seed);
std::optional<quint32> FixedRandomSeed();
// The state the last SeedRandom started from: the seed that repeats that draw.
quint32 LastRandomSeed();

// One step, then the high 32 bits of S * m: a value in 0 .. m - 1 (0 when m < 1).
int RandomInt(int m);
// One step, then S / 2^32: a value in [0, 1).
double RandomReal();
