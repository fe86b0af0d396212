// Prime-number lookups for delay lengths: the reverb rounds its scaled delay
// lengths to primes so that no two lines share a common period.
//
// All lookups scan a constant table of the first 10000 primes (2 .. 104729)
// for the entry nearest to the value; a tie goes to the smaller prime and a
// NaN to the first entry. Values beyond the table saturate at its ends.
#pragma once

#include <array>

inline constexpr int primeCount = 10000;

// The first 10000 primes in ascending order, computed at compile time.
extern const std::array<int, primeCount> prime;

// Index of the table entry nearest to x.
int closest_prime_index(double x);
// The prime nearest to the value.
int closest_prime(double x);
int closest_prime(int n);
// The nearest prime not above the value; 2 below it.
int previous_prime(double x);
int previous_prime(int n);
// The nearest prime not below the value; 104729 above it.
int next_prime(double x);
int next_prime(int n);
