// Conventions shared by every DSP block: the denormal flush, the setter reading
// rules, the one-pole parameter smoothing and the two-set coefficient
// cross-fade. Each mechanism lives here once; the blocks compose them.
#pragma once

#include <algorithm>
#include <climits>
#include <cmath>
#include <tuple>
#include <utility>

// Denormal flush for values fed back into recursive state: (y + 1e-10) - 1e-10.
// Magnitudes below about 6.5e-27 become exactly 0; the build never enables
// fast-math or contraction, so the compiler keeps both operations.
inline constexpr double flushOffset = 1e-10;
inline double flush(double y) {
    return (y + flushOffset) - flushOffset;
}
// Eight doubles side by side (a GCC vector type) for kernels whose lanes
// compute independently; with LaneFlags (-1 or 0 per lane) as conditions.
typedef double Lanes __attribute__((vector_size(64)));
typedef long long LaneFlags __attribute__((vector_size(64)));

// The same flush lane by lane and in place (taken by reference, which keeps
// wide vectors out of the calling convention).
[[gnu::always_inline]] inline void flushLanes(Lanes& y) {
    y = (y + flushOffset) - flushOffset;
}

// Two doubles side by side: two channels' like stages in the lanes of one
// vector (see runSeriesInLanes).
typedef double Pair __attribute__((vector_size(16)));
[[gnu::always_inline]] inline Pair flushPair(Pair y) {
    return (y + flushOffset) - flushOffset;
}

// Kernels over vectors of doubles are built for several instruction sets and
// the loader picks the widest the processor offers. Lane arithmetic is plain
// IEEE double without contraction, so every build gives the same results.
// Kernels whose eight lanes only pay off in one 512-bit register (they
// shuffle across lanes or pick lanes out) skip AVX2, where the baseline build
// of them is faster.
// ThreadSanitizer's runtime is not up yet when the loader runs the clones'
// resolvers, so thread-sanitized builds take the baseline kernels. Clang (the
// fuzzing build) does not export a clone set called from another file, so
// it takes them too. Kernels built for AVX-512F alone check for it with
// TARVEX_HAS_AVX512F() before they are called.
//
// The kernel-variant tests (tests/kernel_variants) build the files with
// kernels once per variant, with TARVEX_KERNEL_VARIANT set to 0 (the x86-64
// baseline), 1 (AVX2) or 2 (AVX-512F): each kernel is then compiled for
// that variant alone and, like a clone called through its resolver, neither
// inlined nor specialised for its callers.
#if defined(TARVEX_KERNEL_VARIANT)
#if TARVEX_KERNEL_VARIANT == 2
#define TARVEX_VECTOR_CLONES __attribute__((target("avx512f"), noipa))
#define TARVEX_WIDE_CLONES __attribute__((target("avx512f"), noipa))
#define TARVEX_HAS_AVX512F() true
#elif TARVEX_KERNEL_VARIANT == 1
#define TARVEX_VECTOR_CLONES __attribute__((target("avx2"), noipa))
#define TARVEX_WIDE_CLONES __attribute__((noipa))
#define TARVEX_HAS_AVX512F() false
#else
#define TARVEX_VECTOR_CLONES __attribute__((noipa))
#define TARVEX_WIDE_CLONES __attribute__((noipa))
#define TARVEX_HAS_AVX512F() false
#endif
#elif defined(__SANITIZE_THREAD__) || defined(__clang__)
#define TARVEX_VECTOR_CLONES
#define TARVEX_WIDE_CLONES
#define TARVEX_HAS_AVX512F() __builtin_cpu_supports("avx512f")
#else
#define TARVEX_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#define TARVEX_WIDE_CLONES __attribute__((target_clones("avx512f", "default")))
#define TARVEX_HAS_AVX512F() __builtin_cpu_supports("avx512f")
#endif

// On/off settings: off below 0.5, on otherwise (a NaN reads as on).
inline bool readSwitch(double value) {
    return !(value < 0.5);
}

// Enumerations: floor(v + 0.5) as a 32-bit int, compared unsigned with the
// highest valid value, so negative values, values too large for an int and NaN
// are all rejected. Returns false when rejected.
inline bool readChoice(double value, int highest, int& choice) {
    const double rounded = std::floor(value + 0.5);
    // Converting a double outside the int range is undefined in C++ (x86-64's
    // cvttsd2si gives INT_MIN); such values are rejected before the cast.
    if (!(rounded >= static_cast<double>(INT_MIN) && rounded <= static_cast<double>(INT_MAX)))
        return false;
    const int k = static_cast<int>(rounded);
    if (static_cast<unsigned>(k) > static_cast<unsigned>(highest)) return false;
    choice = k;
    return true;
}

// Sample rates: a block takes a new rate only when it is positive and finite
// (an infinite rate would stall every fade) and differs from the present one.
inline bool isNewRate(double rate, double current) {
    return rate > 0.0 && std::isfinite(rate) && rate != current;
}

// Stores value in field when it differs; returns whether it did. A NaN always
// differs, so callers test their range first.
template <class T> inline bool storeIfChanged(T& field, T value) {
    if (field == value) return false;
    field = value;
    return true;
}

// One-pole parameter smoothing: a gap shrinks to 0.1 % of its size in
// `seconds`. Each sample the current value moves towards its target until the
// remaining difference is at most 0.001, then snaps to it.
inline double smoothingCoefficient(double seconds, double fs) {
    return 1.0 - std::pow(0.001, 1.0 / (seconds * fs));
}

// Moves current one sample towards target; returns true while still moving.
inline bool smoothTowards(double& current, double target, double coefficient) {
    const double difference = flush(target - current);
    if (!(std::fabs(difference) <= 0.001)) { // a NaN keeps smoothing
        current = flush(current + difference * coefficient);
        return true;
    }
    current = target;
    return false;
}

// A non-finite sample must not leave a set's state poisoned forever: a set
// whose state is no longer finite restarts from rest after the block.
template <class Set> inline void recoverState(Set& set) {
    if (!set.stateFinite()) set.clearState();
}

// Lazily computed coefficients in two sets with a hold-then-linear cross-fade.
//
// Setters only store settings and raise `dirty`. At the start of a block with
// no fade running, a pending change swaps the roles of the two sets, the owner
// recomputes the new current set from zeroed state, and a fade starts at
// `startValue` = 1 + hold/fade: for the hold time the output stays on the old
// set while the new one settles, then it moves linearly to the new set during
// the fade. Changes arriving during a fade wait and collapse into one update.
//
// A coefficient set is a plain struct carrying its own processing state:
//   double tick(double x)                 one sample, one channel
//   void tick(double& left, double& right) one sample pair (stereo blocks)
//   bool stateFinite() const, void clearState()
// The loops below copy both sets into locals for the duration of a block.
class CoefficientFade {
public:
    CoefficientFade(double startValue, double fadeSeconds)
        : start(startValue), seconds(fadeSeconds) {}

    double fadeStep = 0.0;     // per-sample decrement of fadePosition
    double fadePosition = 0.0; // counts down from startValue to 0
    int currentSet = 0;        // set holding the newest coefficients
    int otherSet = 1;          // always 1 - currentSet
    bool crossfading = false;
    bool dirty = false; // settings changed since currentSet was computed

    void SetFs(double fs) { fadeStep = 1.0 / (seconds * fs); }
    // No fade running and no change pending: process() runs the current set
    // alone and BeginBlock() does nothing.
    bool Settled() const { return !crossfading && !dirty; }
    void Swap() {
        currentSet = otherSet;
        otherSet = 1 - currentSet;
    }

    // Block start: apply a pending change unless a fade is still running.
    // `update` computes the (new) current set and zeroes its state.
    template <class Update> void BeginBlock(Update&& update) {
        if (crossfading || !dirty) return;
        Swap();
        update();
        crossfading = true;
        dirty = false;
        fadePosition = start;
    }

    // Weight of the old set for this sample; advances the fade.
    double Advance() {
        const double c = std::min(1.0, fadePosition);
        fadePosition -= fadeStep;
        if (fadePosition < 0.0) {
            fadePosition = 0.0;
            crossfading = false;
        }
        return c;
    }

    // One channel in place. Whether both sets run is decided once per block:
    // a block that starts fading keeps running both sets to its end, with
    // the new set's output once the fade is over.
    template <class Set> void process(Set (&sets)[2], double* x, int n) {
        Set current = sets[currentSet];
        if (crossfading) {
            Set old = sets[otherSet];
            int i = 0;
            for (; i < n && crossfading; ++i) {
                const double yNew = current.tick(x[i]);
                const double yOld = old.tick(x[i]);
                const double c = Advance();
                x[i] = (1.0 - c) * yNew + c * yOld;
            }
            for (; i < n; ++i) {
                const double yNew = current.tick(x[i]);
                old.tick(x[i]);
                x[i] = yNew;
            }
            sets[otherSet] = Recover(old);
        } else {
            for (int i = 0; i < n; ++i)
                x[i] = current.tick(x[i]);
        }
        sets[currentSet] = Recover(current);
    }

    // Two channels in place, one fade step per sample pair.
    template <class Set> void process(Set (&sets)[2], double* left, double* right, int n) {
        Set current = sets[currentSet];
        if (crossfading) {
            Set old = sets[otherSet];
            for (int i = 0; i < n; ++i) {
                double newL = left[i], newR = right[i];
                double oldL = left[i], oldR = right[i];
                current.tick(newL, newR);
                old.tick(oldL, oldR);
                if (crossfading) {
                    const double c = Advance();
                    left[i] = (1.0 - c) * newL + c * oldL;
                    right[i] = (1.0 - c) * newR + c * oldR;
                } else {
                    left[i] = newL;
                    right[i] = newR;
                }
            }
            sets[otherSet] = Recover(old);
        } else {
            for (int i = 0; i < n; ++i)
                current.tick(left[i], right[i]);
        }
        sets[currentSet] = Recover(current);
    }

private:
    template <class Set> static const Set& Recover(Set& set) {
        recoverState(set);
        return set;
    }

    double start;
    double seconds;
};

// True when every sample of the block is finite. One pass of additions in four
// independent sums: a NaN or infinity anywhere makes a sum non-finite. A sum of
// huge finite samples may overflow and report false, so callers treat false as
// "check each sample", never as proof of a bad one.
inline bool blockFinite(const double* x, int n) {
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        s0 += x[i];
        s1 += x[i + 1];
        s2 += x[i + 2];
        s3 += x[i + 3];
    }
    for (; i < n; ++i)
        s0 += x[i];
    return std::isfinite((s0 + s1) + (s2 + s3));
}

// Settled coefficient sets of several blocks in series (each a set as
// CoefficientFade runs them), processed sample by sample across the series so
// that their recursions overlap in the processor. The result is the same as
// running each set over the block in turn, as each block's process() does
// while it is settled: every set works in a local copy and is written back
// recovered after the block.
template <class... Sets> void runSeries(double* x, int n, Sets&... sets) {
    std::tuple<Sets...> local(sets...);
    std::apply(
        [x, n](Sets&... s) {
            for (int i = 0; i < n; ++i) {
                double v = x[i];
                ((v = s.tick(v)), ...);
                x[i] = v;
            }
            (recoverState(s), ...);
        },
        local);
    std::tie(sets...) = local;
}

// Two independent series over two blocks side by side: runSeries(x, n, a...)
// and runSeries(y, n, b...), with the recursions of both in one loop.
template <class... A, class... B>
void runSeriesPair(double* x, std::tuple<A&...> a, double* y, std::tuple<B&...> b, int n) {
    std::tuple<A...> localA(a);
    std::tuple<B...> localB(b);
    std::apply(
        [&](A&... sa) {
            std::apply(
                [&](B&... sb) {
                    for (int i = 0; i < n; ++i) {
                        double u = x[i], v = y[i];
                        ((u = sa.tick(u)), ...);
                        ((v = sb.tick(v)), ...);
                        x[i] = u;
                        y[i] = v;
                    }
                    (recoverState(sa), ...);
                    (recoverState(sb), ...);
                },
                localB);
        },
        localA);
    a = localA;
    b = localB;
}

// runSeriesPair for two series of the same kinds of sets, each kind's two
// sets in the two lanes of one vector, so that one instruction serves both
// series. Each set kind has a Lanes type: built from the two sets, with
// Pair tick(Pair) computing what each set's tick would, bit for bit, and
// store(a, b) writing the state back into both sets recovered.
template <class... Sets, size_t... I>
[[gnu::always_inline]] inline void runSeriesInLanes(double* x, std::tuple<Sets&...> a, double* y,
                                                    std::tuple<Sets&...> b, int n,
                                                    std::index_sequence<I...>) {
    std::tuple<typename Sets::Lanes...> lanes(
        typename Sets::Lanes(std::get<I>(a), std::get<I>(b))...);
    for (int i = 0; i < n; ++i) {
        Pair v = {x[i], y[i]};
        ((v = std::get<I>(lanes).tick(v)), ...);
        x[i] = v[0];
        y[i] = v[1];
    }
    (std::get<I>(lanes).store(std::get<I>(a), std::get<I>(b)), ...);
}
template <class... Sets>
[[gnu::always_inline]] inline void runSeriesInLanes(double* x, std::tuple<Sets&...> a, double* y,
                                                    std::tuple<Sets&...> b, int n) {
    runSeriesInLanes(x, a, y, b, n, std::index_sequence_for<Sets...>());
}
