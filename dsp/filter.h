// Filter: one first-order or second-order (biquad) section of fourteen types,
// or a flat gain, set in physical units.
//
// Second-order types use the common audio-equaliser biquad formulas (RBJ
// cookbook); first-order types are bilinear transforms prewarped to the corner
// through t = tan(w/2). The difference equation is direct form I with the
// feedback coefficients stored negated (c1 = -a1/a0, c2 = -a2/a0):
//   y = c1 y1 + c2 y2 + b0 x + b1 x1 + b2 x2
// Coefficient changes cross-fade between two sets (1 ms hold, 30 ms fade);
// on/off fades through the soft bypass.
#pragma once

#include "dsp/block.h"
#include "dsp/soft_bypass.h"

#include <type_traits>

struct FilterType {
    enum : int {
        Gain = 0,
        LowPass1 = 1,
        HighPass1 = 2,
        LowShelf1 = 3,
        HighShelf1 = 4,
        AllPass1 = 5,
        LowPass = 6,
        HighPass = 7,
        BandPass = 8,
        Notch = 9,
        Peak = 10,
        LowShelf = 11,
        HighShelf = 12,
        AllPass = 13,
    };
};

struct FilterParameters {
    bool enabled = true;
    int type = FilterType::LowPass;
    double frequency = 1000.0; // Hz, 0 < f < fs/2
    double q = 0.7071;         // the decimal 0.7071, not 1/sqrt(2)
    double gain = 0.0;         // dB
};

// The difference equation's sum in the order every form of it uses: the
// newest output's term next to last and the input's last, so that both the
// serial chain from one output to the next and the one from the input to the
// output are a multiply and two additions or fewer before the flush.
// (Taken by reference, which keeps wide vectors out of the calling convention.)
template <class T>
[[gnu::always_inline]] inline void differenceSum(T& y, const T& c1, const T& c2, const T& b0,
                                                 const T& b1, const T& b2, const T& x, const T& x1,
                                                 const T& x2, const T& y1, const T& y2) {
    y = (((b1 * x1 + b2 * x2) + c2 * y2) + c1 * y1) + b0 * x;
}

// One sample of one channel (double) or of two sections in lanes (Pair): the
// flushed output, with the histories moved on.
template <class T>
[[gnu::always_inline]] inline T differenceStep(const T& c1, const T& c2, const T& b0, const T& b1,
                                               const T& b2, const T& x, T& x1, T& x2, T& y1,
                                               T& y2) {
    T y;
    differenceSum(y, c1, c2, b0, b1, b2, x, x1, x2, y1, y2);
    if constexpr (std::is_same_v<T, double>)
        y = flush(y);
    else
        y = flushPair(y);
    y2 = y1;
    y1 = y;
    x2 = x1;
    x1 = x;
    return y;
}

// One coefficient set with its own histories (left or only channel, right).
struct FilterSection {
    double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;
    double x1R = 0.0, x2R = 0.0, y1R = 0.0, y2R = 0.0;
    double c1 = 0.0, c2 = 0.0, b0 = 0.0, b1 = 0.0, b2 = 0.0;

    double tick(double x) { return differenceStep(c1, c2, b0, b1, b2, x, x1, x2, y1, y2); }
    void tick(double& left, double& right) {
        left = tick(left);
        right = differenceStep(c1, c2, b0, b1, b2, right, x1R, x2R, y1R, y2R);
    }
    bool stateFinite() const { return std::isfinite(x1 + x2 + y1 + y2 + x1R + x2R + y1R + y2R); }
    void clearState() { x1 = x2 = y1 = y2 = x1R = x2R = y1R = y2R = 0.0; }
    // Only b0 left (a flat gain): while the histories and the input are
    // finite, the zero terms add nothing and tick gives flush(b0 x).
    bool flatGain() const { return c1 == 0.0 && c2 == 0.0 && b1 == 0.0 && b2 == 0.0; }

    // Two sections (first channel only) in the lanes of one vector.
    struct Lanes {
        Pair x1, x2, y1, y2, c1, c2, b0, b1, b2;
        Lanes(const FilterSection& a, const FilterSection& b)
            : x1{a.x1, b.x1}, x2{a.x2, b.x2}, y1{a.y1, b.y1}, y2{a.y2, b.y2}, c1{a.c1, b.c1},
              c2{a.c2, b.c2}, b0{a.b0, b.b0}, b1{a.b1, b.b1}, b2{a.b2, b.b2} {}
        [[gnu::always_inline]] Pair tick(Pair x) {
            return differenceStep(c1, c2, b0, b1, b2, x, x1, x2, y1, y2);
        }
        void store(FilterSection& a, FilterSection& b) const {
            a.x1 = x1[0], a.x2 = x2[0], a.y1 = y1[0], a.y2 = y2[0];
            b.x1 = x1[1], b.x2 = x2[1], b.y1 = y1[1], b.y2 = y2[1];
            recoverState(a);
            recoverState(b);
        }
    };
};

class Filter {
public:
    Filter();

    // Setting indices: on/off, type (0..13), frequency (Hz), q, gain (dB).
    enum Setting : int { kOn, kType, kFrequency, kQ, kGain };

    void SetParameter(int index, double value);
    double GetParameter(int index) const;
    void SetParameters(FilterParameters p);
    FilterParameters GetParameters() const { return parameters; }
    // Pulls a frequency at or above the new fs/2 down to 0.499 fs.
    void SetFs(double rate);
    // Computes the current set's coefficients and zeroes its histories.
    void Update();

    // Grows the block-length buffers so that mono blocks of up to n samples
    // allocate nothing.
    void Reserve(int n);
    void process(double* buffer, int n);
    void process(double* left, double* right, int n);
    // process() for a settled flat gain over a finite block, without the
    // recursion: returns false (touching nothing) in every other case.
    bool ProcessAsGain(double* buffer, int n);

    // On, with no fade running and no change pending: process() then only
    // runs the current section.
    bool Settled() const { return bypass.SettledOn() && fade.Settled(); }
    FilterSection& Current() { return sets[fade.currentSet]; }

    FilterParameters parameters;
    double fs = 0.0;
    FilterSection sets[2];
    CoefficientFade fade{31.0 / 30.0, 0.03};
    SoftBypass bypass;
};

// Runs filters[0..count) one after another over one block, in place. Settled
// filters next to each other run sample by sample across the run, so that
// their recursions overlap in the processor; filters that are off are skipped
// and the others process on their own. The result is the same as calling
// process() on each filter in turn.
void processChain(Filter* const* filters, int count, double* x, int n);

// Two independent chains, each over its own block: the same as processChain
// on a and x, then on b and y. While every filter of both is settled or off
// and neither has more than two working filters, both run side by side
// sample by sample (short chains alone wait on their recursions).
void processChains(Filter* const* a, int countA, double* x, Filter* const* b, int countB, double* y,
                   int n);
