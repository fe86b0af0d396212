#include "dsp/tranrotw_generator.h"

#include <climits>
#include <cstdio>
#include <limits>

namespace {
constexpr std::uint32_t seedMultiplier = 2891336453u;
constexpr int warmUpDraws = 31;
} // namespace

unsigned(_lrotl)(unsigned value, int count) {
    return std::rotl(value, count);
}

TRanrotWGenerator::TRanrotWGenerator(unsigned long seedValue) {
    RandomInit(seedValue);
    DetectLayout();
}

void TRanrotWGenerator::RandomInit(unsigned long seedValue) {
    seed = seedValue;
    unsigned long s = seedValue;
    for (auto& entry : buffer) {
        for (std::uint32_t& word : entry) {
            s = s * seedMultiplier + 1; // only the low 32 bits are kept
            word = static_cast<std::uint32_t>(s);
        }
    }
    randomBits[0] = 0;
    randomBits[1] = 0x80000000u;
    randomBits[2] = 0x3FFF; // the words of 1.0 in extended precision
    index1 = 0;
    index2 = JJ;
    std::memcpy(bufferCopy, buffer, sizeof buffer);
    std::memcpy(bufferCopy[KK], buffer, sizeof buffer);
    for (int i = 0; i < warmUpDraws; ++i)
        BRandom();
}

void TRanrotWGenerator::DetectLayout() {
    // Write 1.0 as a float and look at the words. Only the bytes that carry
    // the value are copied: the 80-bit format is followed by padding of
    // unspecified content. Word 2 is cleared first, so a narrower format
    // cannot leave an exponent of the 80-bit one there.
    constexpr std::size_t valueBytes =
        std::numeric_limits<long double>::digits == 64 ? 10 : sizeof(long double);
    randomBits[2] = 0;
    const long double one = 1.0L;
    std::memcpy(randomBits, &one, valueBytes);
    if (randomBits[2] == 0x3FFF)
        layout = ExtendedLittleEndian;
    else if (randomBits[1] == 0x3FF00000u)
        layout = LittleEndianDouble;
    else if (randomBits[0] == 0x3FF00000u)
        layout = BigEndianDouble;
    else
        layout = NonIeee;
}

void TRanrotWGenerator::Recover() {
    if (recovering) return; // a reseeded state is checked again by later draws
    if (!reported) {
        reported = true;
        const int distance = (index2 - index1 + KK) % KK;
        // Writing to standard error is a system call (and takes the stream's
        // lock) on the audio thread; it happens once, in a recovery that a
        // seeded generator cannot reach in any practical run.
        std::fprintf(stderr, "%s\n",
                     distance == JJ ? "Random number generator returned to initial state"
                                    : "Random number generator not initialized");
    }
    // Reseed with the next seed instead of ending the process: noise continues
    // on a fresh sequence.
    recovering = true;
    RandomInit(seed + 1);
    recovering = false;
}

int TRanrotWGenerator::IRandom(int min, int max) {
    // In 64 bits, so that no interval overflows.
    const long long interval = static_cast<long long>(max) - min + 1;
    if (interval <= 0) return INT_MIN;
    const long double r = Random();
    long long i = static_cast<long long>(r * interval); // truncated towards zero
    if (i >= interval) i = interval - 1;
    return static_cast<int>(min + i);
}
