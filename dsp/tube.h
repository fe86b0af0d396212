// Tube: one tube gain stage. A drive gain feeds a rational soft-clipping curve
//   f(v) = (v + lo^2) / (1 + 2 lo - v)   for v < lo
//   f(v) = v                            for lo <= v <= hi
//   f(v) = (v - hi^2) / (1 - 2 hi + v)   for v > hi
// with lo, hi = c -/+ knee and c = (1 - knee) asymmetry: continuous with slope 1
// at both joints, tending to -1 and +1. The curve is moved so that input 0 sits
// at the operating point (output `bias`), and the stage output is taken
// relative to it, so silence stays silence. Optional polarity inversion, and an
// optional negative feedback of the output through a first-order low-pass
// (bilinear, not prewarped) whose loop is solved exactly every sample: one
// linear equation in the middle part, one quadratic in each curved segment.
// Coefficient changes cross-fade between two sets (1 ms hold, 20 ms fade).
#pragma once

#include "dsp/block.h"
#include "dsp/soft_bypass.h"

#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

struct TubeParameters {
    bool enabled = true;
    double gain = 50.0; // drive, linear factor
    bool invert = true;
    double knee = 0.9;      // half-width of the linear part, 0..1
    double asymmetry = 0.0; // -1..1
    double bias = 0.0;      // curve output at zero input, -1 < bias < 1
    bool feedback = true;
    double feedbackGain = -6.0;        // dB, < 0: low-frequency gain change
    double feedbackFrequency = 1000.0; // Hz, corner of the feedback low-pass
};

// The lane helpers of TubeLoop: a condition is a bool for one stage and a
// mask (-1 or 0 per lane) for two stages in the lanes of a Pair.
[[gnu::always_inline]] inline bool anyLane(bool flag) {
    return flag;
}
[[gnu::always_inline]] inline bool anyLane(decltype(Pair{} < Pair{}) flags) {
    return (flags[0] | flags[1]) != 0;
}
[[gnu::always_inline]] inline double squareRoot(double v) {
    return std::sqrt(v);
}
[[gnu::always_inline]] inline Pair squareRoot(Pair v) {
#if defined(__SSE2__)
    return _mm_sqrt_pd(v);
#else
    return Pair{std::sqrt(v[0]), std::sqrt(v[1])};
#endif
}

// What the per-sample loop of one coefficient set reads, and its state, over
// a value type: double for one stage (TubeStage), Pair for two stages in the
// lanes of one vector (TubeStage::Lanes), with the same operations in the
// same order in every lane. Only T members, so that a TubeLoop<Pair> is the
// TubeLoop<double> of two stages member by member.
//
// Curve segments: lower (u + lowerNum) / (lowerDen - u) for u < lowerJoint,
// upper (u - upperNum) / (upperDen + u) for u > upperJoint, else
// u + linearOffset. With k = gain beta, a = lpPole, b = lpGain and P the part
// of the low-pass output known before the sample (a lp[n-1] + b z[n-1]), the
// loop lp = P + b z, z = h(gain (x - beta lp)) - bias has its solution in the
// segment that the two tests pick:
//   linear part:   lp = (P + b gain x + b (linearOffset - bias)) / (1 + k b)
//   lower segment: lp = (sqrt(B^2 + E) - B) / (2k)
//   upper segment: lp = -(B + sqrt(B^2 + E)) / (2k)
// with B = B0 - gain x - k P and E = EP P - 4k gain P x + EX x + E0 (the
// segment's constants). Only P carries from sample to sample, and since
// b z = lp - P the next P is (1 + a) lp - P = +-c sqrt(B^2 + E) - R with
// c = (1 + a)/(2k) and R = c (B0 - gain x) + (1 - a)/2 P. The per-sample loop
// takes the root of c^2 (B^2 + E), written as (c^2 k^2 P) P + (terms known
// sooner), so that in a curved segment the serial chain from one P to the next
// is two multiplications, two additions and the root. lp and the curve that
// gives the output z stay off that chain.
//
// The loops mostly stay in their linear parts, where a sample needs no root
// and no division; on a curved segment each lane takes its segment's terms
// (u - v is u + (-v) exactly, so one expression serves both segments where
// only a sign differs).
template <class T> struct TubeLoop {
    T lp{};    // low-passed feedback signal
    T z{};     // stage output before the polarity
    T carry{}; // P of the next sample: a lp + b z

    T gain{}, bias{}, beta{};
    T outputSign = T{} + 1.0; // -1 when inverted

    T lowerJoint{}, upperJoint{};
    T lowerNum{}, lowerDen = T{} + 1.0, negUpperNum{}, upperDen = T{} + 1.0;
    T linearOffset{};

    // Segment tests: lower when P + lowerTestOffset > inputOverK x + lowerLimit,
    // upper when inputOverK x + upperLimit > P + upperTestOffset. With k = 0 the
    // limits and offsets are +-1e100 so that both tests fail.
    T inputOverK{};               // gain / k
    T lowerLimit{}, upperLimit{}; // -lowerJoint / k, -upperJoint / k
    T lowerTestOffset{};          // b (lowerJoint + linearOffset - bias)
    T upperTestOffset{};          // b (upperJoint + linearOffset - bias)
    T halfInverseK{};             // 1 / (2k)
    T negHalfInverseK{};          // -1 / (2k)
    T negK{}, negGain{};          // -k, -gain
    T lowerB0{}, upperB0{};       // kb (bias + 1) + lowerDen, kb (bias - 1) - upperDen
    T negFourKGain{};             // -4k gain
    T lowerEP{}, lowerEX{}, lowerE0{};
    T upperEP{}, upperEX{}, upperE0{};
    T linearP{}, linearX{}, linear0{}; // lp = linearP P + linearX x + linear0

    // c^2 (B^2 + E) = scaledKSquared P^2 + c^2 (EP - 4k gain x - 2k (B0 - gain x)) P
    //                 + c^2 ((B0 - gain x)^2 + EX x + E0), c = rootToCarry.
    T scaledKSquared{}, rootToCarrySquared{}, negTwoK{};
    // Next P in a curved segment: +-root - (rootToCarry (B0 - gain x) + carryFromP P).
    T rootToCarry{}, carryToRoot{}, carryFromP{};
    // Next P in the linear part: linearCarryP P + (1 + a)(linearX x + linear0).
    T linearCarryP{}, carryGain = T{} + 1.0;

    [[gnu::always_inline]] T curve(T u) const {
        const auto lower = u < lowerJoint;
        const auto upper = u > upperJoint;
        return byPart(
            lower, upper, [&] { return u + linearOffset; },
            [&](auto low, auto high, T straight) {
                const T num = u + (low ? lowerNum : negUpperNum);
                const T den = (low ? lowerDen : upperDen) + (low ? -u : u);
                // One stage comes here only on a curved segment; lanes pick.
                if constexpr (std::is_class_v<decltype(low)>)
                    return num / den;
                else
                    return (low | high) ? num / den : straight;
            });
    }

    // One sample of the stage: with feedback the loop solution lp, and the
    // output z, both kept.
    [[gnu::always_inline]] T step(T x, bool feedback) {
        if (!feedback) return outputSign * (curve(gain * x) - bias);
        lp = loopStep(x);
        z = curve(gain * (x - beta * lp)) - bias;
        return outputSign * z;
    }

    // The loop solution of step, and the next carry.
    [[gnu::always_inline]] T loopStep(T x) {
        const T P = carry;
        const T drive = inputOverK * x;
        const auto lower = P + lowerTestOffset > drive + lowerLimit;
        auto upper = drive + upperLimit > P + upperTestOffset;
        // Lanes on the lower segment are not on the upper one (one stage
        // takes the lower test first).
        if constexpr (!std::is_same_v<T, double>) upper = ~lower & upper;
        return byPart(
            lower, upper,
            [&] {
                const T Lx = linearX * x + linear0;
                carry = linearCarryP * P + carryGain * Lx;
                return linearP * P + Lx;
            },
            [&](auto low, auto high, T linearSolution) {
                const T Bx = (low ? lowerB0 : upperB0) + negGain * x;
                const T EP = low ? lowerEP : upperEP;
                const T E0x = (low ? lowerEX : upperEX) * x + (low ? lowerE0 : upperE0);
                const T linear = rootToCarrySquared * ((EP + negFourKGain * x) + negTwoK * Bx);
                const T constant = rootToCarrySquared * (Bx * Bx + E0x);
                const T r = squareRoot((scaledKSquared * P) * P + (linear * P + constant));
                const T rest = rootToCarry * Bx + carryFromP * P;
                const T A = Bx + negK * P;
                const T lowerSolution = (r * carryToRoot - A) * halfInverseK;
                const T upperSolution = (A + r * carryToRoot) * negHalfInverseK;
                carry = low ? r - rest : high ? -r - rest : carry;
                return low ? lowerSolution : high ? upperSolution : linearSolution;
            });
    }

private:
    // The result on the part of the curve (or loop) that the flags pick:
    // straight() on the linear part, curved(low, high, straight's result) on
    // a curved segment. One stage branches to its part and computes only that
    // part's terms (with constant flags). Two stages in lanes take the linear
    // part, and only where either lane is on a curved segment the curved
    // terms, which pick each lane's segment or keep its linear result (and
    // the carry that the linear part left).
    template <class Flags, class Straight, class Curved>
    [[gnu::always_inline]] static T byPart(Flags lower, Flags upper, Straight&& straight,
                                           Curved&& curved) {
        if constexpr (std::is_same_v<Flags, bool>) {
            if (__builtin_expect(lower, 0)) return curved(std::true_type{}, std::false_type{}, T{});
            if (__builtin_expect(upper, 0)) return curved(std::false_type{}, std::true_type{}, T{});
            return straight();
        } else {
            const T linear = straight();
            if (__builtin_expect(!anyLane(lower | upper), 1)) return linear;
            return curved(lower, upper, linear);
        }
    }
};

// One coefficient set: the shifted curve h(u), the feedback loop state and the
// loop solver's precomputed terms (TubeLoop), and the settings they were
// computed from.
struct TubeStage : TubeLoop<double> {
    bool invertCopy = false;
    bool feedbackCopy = false;
    double lpPole = 0.0, lpGain = 0.0; // a, b

    [[gnu::always_inline]] double tick(double x) { return step(x, feedbackCopy); }

    bool stateFinite() const { return std::isfinite(lp + z + carry); }
    void clearState() { lp = z = carry = 0.0; }

    // Two sets in the lanes of one vector, both with feedback or both
    // without.
    struct Lanes : TubeLoop<Pair> {
        bool feedback;

        Lanes(const TubeStage& a, const TubeStage& b);
        [[gnu::always_inline]] Pair tick(Pair x) { return step(x, feedback); }
        void store(TubeStage& a, TubeStage& b) const;
    };
};

// Two tube stages over their own blocks side by side, one in each lane of a
// vector (TubeStage::Lanes): the same as running a.tick over x and b.tick
// over y, bit for bit. Both must have feedback on or both off; each is
// written back recovered. Built per instruction set: with wide register
// files the terms of both stages stay in registers.
void runTubePair(TubeStage& a, double* x, TubeStage& b, double* y, int n);

class Tube {
public:
    Tube();

    // Setting indices: on/off, gain (linear; a negative value sets invert),
    // invert, knee, asymmetry, bias, feedback, feedback gain (dB), feedback
    // frequency (Hz), then the gain again in dB, which is no record field.
    enum Setting : int {
        kOn,
        kGain,
        kInvert,
        kKnee,
        kAsymmetry,
        kBias,
        kFeedback,
        kFeedbackGain,
        kFeedbackFrequency,
        kGainDb,
    };

    void SetParameter(int index, double value);
    double GetParameter(int index) const;
    void SetParameters(TubeParameters p);
    TubeParameters GetParameters() const { return parameters; }
    // Pulls a feedback frequency at or above the new fs/2 down to 0.499 fs.
    void SetFs(double rate);
    // Computes the current set from the settings and zeroes its loop.
    void Update();

    // Grows the block-length buffers so that mono blocks of up to n samples
    // allocate nothing.
    void Reserve(int n);
    void process(double* buffer, int n);
    // On, with no fade running and no change pending: process() then only
    // runs the current set (so the set may run in a series, see runSeries).
    bool Settled() const { return bypass.SettledOn() && fade.Settled(); }
    TubeStage& Current() { return sets[fade.currentSet]; }

    // The static transfer curve from the settings, feedback ignored.
    double Function(double x) const;

    TubeParameters parameters;
    double fs = 0.0;
    TubeStage sets[2];
    CoefficientFade fade{1.05, 0.02};
    SoftBypass bypass;
};
