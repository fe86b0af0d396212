#include "dsp/primes.h"

#include <cmath>

namespace {

// Sieve of Eratosthenes over the odd numbers; the 10000th prime is 104729.
constexpr int sieveLimit = 104730;

constexpr std::array<int, primeCount> makePrimeTable() {
    std::array<bool, sieveLimit / 2> composite{}; // entry i stands for 2i + 1
    std::array<int, primeCount> table{};
    table[0] = 2;
    int count = 1;
    for (int i = 1; i < sieveLimit / 2 && count < primeCount; ++i) {
        if (composite[i]) continue;
        const int p = 2 * i + 1;
        table[count++] = p;
        for (long long j = static_cast<long long>(p) * p / 2; j < sieveLimit / 2; j += p)
            composite[j] = true;
    }
    return table;
}

} // namespace

constexpr std::array<int, primeCount> prime = makePrimeTable();
static_assert(prime[0] == 2 && prime[primeCount - 1] == 104729);

int closest_prime_index(double x) {
    // The whole table is scanned; only a strictly smaller distance replaces
    // the candidate, so ties go to the smaller prime and a NaN stays at 0.
    double best = std::fabs(x - prime[0]);
    int c = 0;
    for (int k = 1; k < primeCount; ++k) {
        const double dk = std::fabs(x - prime[k]);
        if (best > dk) {
            best = dk;
            c = k;
        }
    }
    return c;
}

int closest_prime(double x) {
    return prime[closest_prime_index(x)];
}
int closest_prime(int n) {
    return closest_prime(static_cast<double>(n));
}

int previous_prime(double x) {
    const int c = closest_prime_index(x);
    if (c == 0) return prime[0];
    if (x >= prime[c]) return prime[c];
    return prime[c - 1];
}
int previous_prime(int n) {
    return previous_prime(static_cast<double>(n));
}

int next_prime(double x) {
    const int c = closest_prime_index(x);
    if (c == primeCount - 1) return prime[c];
    if (prime[c] >= x) return prime[c];
    return prime[c + 1];
}
int next_prime(int n) {
    return next_prime(static_cast<double>(n));
}
