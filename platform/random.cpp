// The shared random generator. Game logic draws from it in a fixed order, so a seed reproduces a run.
#include "platform/random.h"

#include <cmath>

namespace {

constexpr int32_t kDefaultState = 0x1234;
constexpr int32_t kModulus = 0x7FFFFFFF; // 2^31 - 1

int32_t g_state = kDefaultState;

// state * 48271 mod (2^31 - 1) without 64-bit arithmetic (Schrage): 44488 = m div 48271 and
// 3399 = m mod 48271, so both products stay below 2^31.
int32_t Step() {
    g_state = (g_state % 44488) * 48271 - (g_state / 44488) * 3399;
    if (g_state < 0) g_state += kModulus;
    return g_state;
}

} // namespace

void SetRandomSeed(int32_t seed) {
    g_state = seed & 0x7FFFFFFF;
    if (g_state == 0 || g_state == kModulus) g_state = kDefaultState;
}

int32_t GetRandomSeed() {
    return g_state;
}

float RandomFloat() {
    return static_cast<float>(Step() & 0x0FFFFFF0) / 268435456.0f;
}

double RandomUnit() {
    const double hi = Step() & 0x1FFFFFFC;
    const double lo = Step() & 0x1FFFFFF8;
    // hi / 2^29 + lo / 2^56: 27 + 26 significant bits, exact in a double, at most 1 - 2^-53.
    return (hi + lo / 134217728.0) / 536870912.0;
}

double RandomRange(double a, double b) {
    const double u = RandomUnit();
    const double low = b > a ? a : b;
    const double high = b > a ? b : a;
    const double r = low + u * (high - low);
    // Rounding of the difference and the sum can land on the upper bound, which callers that
    // truncate to an index rely on never to see.
    if (r >= high && high > low) return std::nextafter(high, low);
    return r;
}

int RandomInt(int a, int b) {
    const double u = RandomUnit();
    // In 64 bits: the span of two 32-bit ints can exceed 32 bits.
    const int64_t d = static_cast<int64_t>(b) - a;
    if (d > 0) return static_cast<int>(a + static_cast<int64_t>(u * static_cast<double>(d + 1)));
    return static_cast<int>(b + static_cast<int64_t>(u * static_cast<double>(1 - d)));
}
