// The shared deterministic random generator: multiplier 48271 modulo 2^31 - 1, seedable.
#pragma once

#include <cstdint>

// The state becomes seed with bit 31 cleared; 0 and 0x7FFFFFFF, which the generator cannot use,
// give the default state 0x1234.
void SetRandomSeed(int32_t seed);
int32_t GetRandomSeed();

// [0, 1) with 24 significant bits; one step.
float RandomFloat();
// [0, 1) with 53 significant bits; two steps.
double RandomUnit();
// [min(a, b), max(a, b)); exactly a when a == b.
double RandomRange(double a, double b);
// [min(a, b), max(a, b)], both ends included.
int RandomInt(int a, int b);
