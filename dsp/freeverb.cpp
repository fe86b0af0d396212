#include "dsp/freeverb.h"

#include "dsp/primes.h"

#include <algorithm>
#include <cassert>
#include <cmath>

Freeverb::Freeverb() {
    for (int k = 0; k < combCount; ++k) {
        combL[k].setup_LBCF(0.0, 0.0, combLengthL[k]);
        combR[k].setup_LBCF(0.0, 0.0, combLengthR[k]);
    }
    setdecay(0.5);
    setdamping(0.5);
    for (int k = 0; k < allpassCount; ++k) {
        allpassL[k].setup_FBFFCF(allpassFeedback, allpassLengthL[k]);
        allpassR[k].setup_FBFFCF(allpassFeedback, allpassLengthR[k]);
    }
}

void Freeverb::SetFs(double rate) {
    if (!(rate > 0.0) || !std::isfinite(rate) || rate == fs) return;
#ifndef NDEBUG
    assert(processCalls.load(std::memory_order_relaxed) == 0 &&
           "Freeverb::SetFs must not overlap process");
#endif
    fs = rate;
    for (int k = 0; k < combCount; ++k)
        combL[k].setup_LBCF(0.0, 0.0, closest_prime(combLengthL[k] * fs / 44100.0));
    for (int k = 0; k < combCount; ++k)
        combR[k].setup_LBCF(0.0, 0.0, closest_prime(combLengthR[k] * fs / 44100.0));
    setdecay(decay);
    // The damping in force before the change stays in force.
    for (auto* bank : {combL, combR})
        for (int k = 0; k < combCount; ++k)
            bank[k].setd(damping);
    for (int k = 0; k < allpassCount; ++k)
        allpassL[k].setup_FBFFCF(allpassFeedback, closest_prime(allpassLengthL[k] * fs / 44100.0));
    for (int k = 0; k < allpassCount; ++k)
        allpassR[k].setup_FBFFCF(allpassFeedback, closest_prime(allpassLengthR[k] * fs / 44100.0));
}

void Freeverb::process(double* left, double* right, int n) {
#ifndef NDEBUG
    processCalls.fetch_add(1, std::memory_order_relaxed);
#endif
    for (int done = 0; done < n;) {
        int m = n - done;
        for (const auto* bank : {combL, combR})
            for (int k = 0; k < combCount; ++k)
                m = std::min(m, bank[k].size - bank[k].position);
        for (const auto* bank : {allpassL, allpassR})
            for (int k = 0; k < allpassCount; ++k)
                m = std::min(m, bank[k].size - bank[k].position);
        Stretch(left + done, right + done, m);
        done += m;
    }
#ifndef NDEBUG
    processCalls.fetch_sub(1, std::memory_order_relaxed);
#endif
}

namespace {
// The working copy of one element over a stretch: its entries from the
// position on, and its coefficients and state in locals, which no buffer
// store can alias, so they stay in registers.
struct Element {
    double* entries;
    double g, d, oneMinusD, state;
};
} // namespace

void Freeverb::Stretch(double* left, double* right, int m) {
    // Every element reads and writes at position + i.
    Element cl[combCount], cr[combCount], al[allpassCount], ar[allpassCount];
    const auto open = [](ReverbDelayBlock& e) {
        return Element{e.buffer + e.position, e.g, e.d, e.oneMinusD, e.state};
    };
    for (int k = 0; k < combCount; ++k) {
        cl[k] = open(combL[k]);
        cr[k] = open(combR[k]);
    }
    for (int k = 0; k < allpassCount; ++k) {
        al[k] = open(allpassL[k]);
        ar[k] = open(allpassR[k]);
    }
    double lastL[combCount] = {}, lastR[combCount] = {};
    double lastAL[allpassCount] = {}, lastAR[allpassCount] = {};
    for (int i = 0; i < m; ++i) {
        const double leftIn = left[i];
        const double rightIn = right[i];
        const double in = (leftIn + rightIn) * 0.5;
        double sumL = 0.0;
        double sumR = 0.0;
        // process_LBCF of each comb.
#pragma GCC unroll 8
        for (int k = 0; k < combCount; ++k) {
            const double b = cl[k].entries[i];
            cl[k].state = flush(cl[k].d * cl[k].state + cl[k].oneMinusD * b);
            cl[k].entries[i] = cl[k].g * cl[k].state + in;
            lastL[k] = b;
            sumL += b;
        }
#pragma GCC unroll 8
        for (int k = 0; k < combCount; ++k) {
            const double b = cr[k].entries[i];
            cr[k].state = flush(cr[k].d * cr[k].state + cr[k].oneMinusD * b);
            cr[k].entries[i] = cr[k].g * cr[k].state + in;
            lastR[k] = b;
            sumR += b;
        }
        // process_FBFFCF of each all-pass.
#pragma GCC unroll 4
        for (int k = 0; k < allpassCount; ++k) {
            const double b = al[k].entries[i];
            al[k].entries[i] = flush(al[k].g * b + sumL);
            sumL = b - sumL;
            lastAL[k] = sumL;
        }
#pragma GCC unroll 4
        for (int k = 0; k < allpassCount; ++k) {
            const double b = ar[k].entries[i];
            ar[k].entries[i] = flush(ar[k].g * b + sumR);
            sumR = b - sumR;
            lastAR[k] = sumR;
        }
        left[i] = (sumL * wet1 + sumR * wet2) * wet + leftIn * dry;
        right[i] = (sumR * wet1 + sumL * wet2) * wet + rightIn * dry;
    }
    if (m <= 0) return;
    const auto close = [m](ReverbDelayBlock& e, const Element& w, double last) {
        e.state = w.state;
        e.lastOutput = last;
        e.position += m;
        if (e.position == e.size) e.position = 0;
    };
    for (int k = 0; k < combCount; ++k) {
        close(combL[k], cl[k], lastL[k]);
        close(combR[k], cr[k], lastR[k]);
    }
    for (int k = 0; k < allpassCount; ++k) {
        close(allpassL[k], al[k], lastAL[k]);
        close(allpassR[k], ar[k], lastAR[k]);
    }
}

void Freeverb::setreverbleveldb(double db) {
    dry = 1.0;
    wet = std::pow(10.0, 0.05 * db);
}

void Freeverb::setdecay(double x) {
    decay = x;
    for (auto* bank : {combL, combR})
        for (int k = 0; k < combCount; ++k)
            bank[k].setg(x);
}

void Freeverb::setdamping(double x) {
    damping = 0.4 * x;
    for (auto* bank : {combL, combR})
        for (int k = 0; k < combCount; ++k)
            bank[k].setd(damping);
}

void Freeverb::clear_buffers() {
    for (auto* bank : {combL, combR})
        for (int k = 0; k < combCount; ++k)
            bank[k].clear_buffer();
    for (auto* bank : {allpassL, allpassR})
        for (int k = 0; k < allpassCount; ++k)
            bank[k].clear_buffer();
}

bool Freeverb::stateFinite() const {
    double sum = 0.0;
    for (const auto* bank : {combL, combR})
        for (int k = 0; k < combCount; ++k)
            sum += bank[k].state + bank[k].lastOutput;
    for (const auto* bank : {allpassL, allpassR})
        for (int k = 0; k < allpassCount; ++k)
            sum += bank[k].lastOutput;
    return std::isfinite(sum);
}
