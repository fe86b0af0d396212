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

// One coefficient set: the shifted curve h(u), the feedback loop state and the
// loop solver's precomputed terms.
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
struct TubeStage {
    bool invertCopy = false;
    bool feedbackCopy = false;
    double gainCopy = 0.0;
    double biasCopy = 0.0;
    double beta = 0.0;
    double outputSign = 1.0; // -1 when inverted

    double lowerJoint = 0.0, upperJoint = 0.0;
    double lowerNum = 0.0, lowerDen = 1.0, upperNum = 0.0, upperDen = 1.0;
    double linearOffset = 0.0;

    double lp = 0.0;    // low-passed feedback signal
    double z = 0.0;     // stage output before the polarity
    double carry = 0.0; // P of the next sample: a lp + b z

    double lpPole = 0.0, lpGain = 0.0; // a, b

    // Segment tests: lower when P + lowerTestOffset > inputOverK x + lowerLimit,
    // upper when inputOverK x + upperLimit > P + upperTestOffset. With k = 0 the
    // limits and offsets are +-1e100 so that both tests fail.
    double inputOverK = 0.0;                   // gain / k
    double lowerLimit = 0.0, upperLimit = 0.0; // -lowerJoint / k, -upperJoint / k
    double lowerTestOffset = 0.0;              // b (lowerJoint + linearOffset - bias)
    double upperTestOffset = 0.0;              // b (upperJoint + linearOffset - bias)
    double halfInverseK = 0.0;                 // 1 / (2k)
    double negHalfInverseK = 0.0;              // -1 / (2k)
    double negK = 0.0, negGain = 0.0;          // -k, -gain
    double lowerB0 = 0.0, upperB0 = 0.0;       // kb (bias + 1) + lowerDen, kb (bias - 1) - upperDen
    double negFourKGain = 0.0;                 // -4k gain
    double lowerEP = 0.0, lowerEX = 0.0, lowerE0 = 0.0;
    double upperEP = 0.0, upperEX = 0.0, upperE0 = 0.0;
    double linearP = 0.0, linearX = 0.0, linear0 = 0.0; // lp = linearP P + linearX x + linear0

    // c^2 (B^2 + E) = scaledKSquared P^2 + c^2 (EP - 4k gain x - 2k (B0 - gain x)) P
    //                 + c^2 ((B0 - gain x)^2 + EX x + E0), c = rootToCarry.
    double scaledKSquared = 0.0, rootToCarrySquared = 0.0, negTwoK = 0.0;
    // Next P in a curved segment: +-root - (rootToCarry (B0 - gain x) + carryFromP P).
    double rootToCarry = 0.0, carryToRoot = 0.0, carryFromP = 0.0;
    // Next P in the linear part: linearCarryP P + (1 + a)(linearX x + linear0).
    double linearCarryP = 0.0, carryGain = 1.0;

    double curve(double u) const {
        if (u < lowerJoint) return (u + lowerNum) / (lowerDen - u);
        if (u > upperJoint) return (u - upperNum) / (upperDen + u);
        return u + linearOffset;
    }

    [[gnu::always_inline]] double tick(double x) {
        if (!feedbackCopy) return outputSign * (curve(gainCopy * x) - biasCopy);
        const double P = carry;
        const double drive = inputOverK * x;
        double solution;
        if (P + lowerTestOffset > drive + lowerLimit) {
            const double Bx = lowerB0 + negGain * x;
            const double root = ScaledRoot(P, x, Bx, lowerEP, lowerEX * x + lowerE0);
            carry = root - (rootToCarry * Bx + carryFromP * P);
            solution = (root * carryToRoot - (Bx + negK * P)) * halfInverseK;
        } else if (drive + upperLimit > P + upperTestOffset) {
            const double Bx = upperB0 + negGain * x;
            const double root = ScaledRoot(P, x, Bx, upperEP, upperEX * x + upperE0);
            carry = -root - (rootToCarry * Bx + carryFromP * P);
            solution = ((Bx + negK * P) + root * carryToRoot) * negHalfInverseK;
        } else {
            const double Lx = linearX * x + linear0;
            carry = linearCarryP * P + carryGain * Lx;
            solution = linearP * P + Lx;
        }
        lp = solution;
        z = curve(gainCopy * (x - beta * solution)) - biasCopy;
        return outputSign * z;
    }

    bool stateFinite() const { return std::isfinite(lp + z + carry); }
    void clearState() { lp = z = carry = 0.0; }

private:
    // c sqrt(B^2 + E) for B = Bx - k P and E = (EP - 4k gain x) P + E0x.
    double ScaledRoot(double P, double x, double Bx, double EP, double E0x) const {
        const double linear = rootToCarrySquared * ((EP + negFourKGain * x) + negTwoK * Bx);
        const double constant = rootToCarrySquared * (Bx * Bx + E0x);
        return std::sqrt((scaledKSquared * P) * P + (linear * P + constant));
    }
};

class Tube {
public:
    Tube();

    // 0 on/off, 1 gain (linear; a negative value sets invert), 2 invert,
    // 3 knee, 4 asymmetry, 5 bias, 6 feedback, 7 feedback gain (dB),
    // 8 feedback frequency (Hz), 9 gain in dB.
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
