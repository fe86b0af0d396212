#include "dsp/freeverb.h"

#include "dsp/primes.h"

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
