// TRanrotWGenerator: the RANROT-W pseudo-random generator.
//
// A buffer of 17 entries, each two 32-bit words. Every draw advances the entry
// at index1 from itself and the lagged entry at index2:
//   z = rotl(word0[i1], 19) + word0[i2],  y = rotl(word1[i1], 27) + word1[i2]
//   entry[i1] = (y, z), both indices step down (wrapping 0 -> 16), result y.
// Seeding fills the buffer from the recurrence s = s * 2891336453 + 1 and draws
// 31 numbers. Random() turns a draw into [0, 1) by writing its bits into the
// mantissa of an extended-precision 1.x and subtracting 1.
//
// Self-test: a generator whose buffer returns to its seeded state (or was never
// seeded) reports it once on standard error and reseeds itself with the next
// seed, so that output continues.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

// 32-bit left rotation. The name is parenthesised so that a compiler intrinsic
// macro of the same name cannot expand it.
unsigned(_lrotl)(unsigned value, int count);

class TRanrotWGenerator {
public:
    static constexpr int KK = 17; // buffer entries
    static constexpr int JJ = 10; // initial distance of index2 behind index1
    static constexpr int R1 = 19; // rotation of word 0
    static constexpr int R2 = 27; // rotation of word 1

    // How Random() builds its value, detected at construction.
    enum Layout : int {
        LittleEndianDouble = 0,
        BigEndianDouble = 1,
        NonIeee = 2,
        ExtendedLittleEndian = 3,
    };

    explicit TRanrotWGenerator(unsigned long seed);

    void RandomInit(unsigned long seed);
    // Next 32-bit output.
    std::uint32_t BRandom();
    // Next value in [0, 1): (w & 0x7FFFFFFF) / 2^31 + w / 2^63 for the drawn
    // word w, exact in extended precision.
    long double Random() { return ToUnit(BRandom()); }
    // ExtendedLittleEndian layout only: Random() - 0.5 of the next draw times
    // 2^63, an integer in [-2^62, 2^62). Exact, since the extended value has a
    // 63-bit fraction; it skips building the 80-bit value in memory, whose
    // reload waits on two narrower stores at every draw. The two indices are
    // the caller's (see Draw); the caller writes them back after its loop.
    std::int64_t CenteredDraw(int& i1, int& i2) {
        const std::uint32_t w = Draw(i1, i2);
        randomBits[1] = w | 0x80000000u; // as Random() leaves it
        const std::int64_t fraction = static_cast<std::int64_t>(w & 0x7FFFFFFFu) << 32 | w;
        return fraction - (std::int64_t{1} << 62);
    }
    // An integer in [min, max]; INT_MIN without drawing when max < min.
    int IRandom(int min, int max);

    int index1 = 0;
    int index2 = 0;
    // The extended-precision value and its three words (mantissa low, mantissa
    // high, sign and exponent), plus the format's padding: 16 bytes, read and
    // written as a float through memcpy.
    alignas(16) std::uint32_t randomBits[4] = {};
    std::uint32_t buffer[KK][2] = {};
    std::uint32_t bufferCopy[2 * KK][2] = {}; // the seeded buffer, twice over
    int layout = ExtendedLittleEndian;
    unsigned long seed = 0; // the last seed, the base of a recovery reseed
    bool reported = false;  // the self-test has written its message

private:
    // BRandom with index1 and index2 held by the caller, so that a loop of
    // draws keeps them in registers instead of storing and reloading them at
    // every draw; they pass through the object only for the rare check
    // against the seeded state.
    std::uint32_t Draw(int& i1, int& i2);
    long double ToUnit(std::uint32_t w);
    void DetectLayout();
    // The self-test found the seeded state again: report once and reseed.
    [[gnu::cold, gnu::noinline]] void Recover();
    bool recovering = false;
};

inline std::uint32_t TRanrotWGenerator::Draw(int& i1, int& i2) {
    const std::uint32_t z = std::rotl(buffer[i1][0], R1) + buffer[i2][0];
    const std::uint32_t y = std::rotl(buffer[i1][1], R2) + buffer[i2][1];
    buffer[i1][0] = y;
    buffer[i1][1] = z;
    i1 = i1 > 0 ? i1 - 1 : KK - 1;
    i2 = i2 > 0 ? i2 - 1 : KK - 1;
    // The buffer read from index1 on equals the seeded one only when the first
    // word matches, so the full 136-byte compare almost never runs.
    if (buffer[i1][0] == bufferCopy[0][0]) [[unlikely]] {
        index1 = i1;
        index2 = i2;
        if (std::memcmp(buffer, bufferCopy[KK - i1], sizeof buffer) == 0) Recover();
        i1 = index1;
        i2 = index2;
    }
    randomBits[0] = y;
    randomBits[1] = z;
    return y;
}

inline std::uint32_t TRanrotWGenerator::BRandom() {
    int i1 = index1, i2 = index2;
    const std::uint32_t y = Draw(i1, i2);
    index1 = i1;
    index2 = i2;
    return y;
}

inline long double TRanrotWGenerator::ToUnit(std::uint32_t w) {
    switch (layout) {
    case ExtendedLittleEndian: {
        // 1.x with the 64-bit mantissa (w | 2^31) * 2^32 + w, exponent word 0x3FFF.
        randomBits[1] = w | 0x80000000u;
        long double one;
        static_assert(sizeof one <= sizeof randomBits);
        std::memcpy(&one, randomBits, sizeof one);
        return one - 1.0L;
    }
    case LittleEndianDouble: {
        randomBits[1] = (w & 0x000FFFFFu) | 0x3FF00000u;
        double one;
        std::memcpy(&one, randomBits, sizeof one);
        return one - 1.0;
    }
    case BigEndianDouble: {
        randomBits[0] = (randomBits[0] & 0x000FFFFFu) | 0x3FF00000u;
        double one;
        std::memcpy(&one, randomBits, sizeof one);
        return one - 1.0;
    }
    default:
        return w * 2.3283064365386963e-10; // 2^-32
    }
}
