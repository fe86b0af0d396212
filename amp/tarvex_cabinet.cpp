#include "amp/tarvex_cabinet.h"

#include <cmath>

namespace {
constexpr unsigned choiceMask = 7;
// The audio thread reads the requests: they must never hide a lock.
static_assert(std::atomic<unsigned>::is_always_lock_free);
static_assert(std::atomic<double>::is_always_lock_free);
} // namespace

TarvexCabinet::TarvexCabinet() {
    lowpass1.SetParameters({true, FilterType::LowPass, 4590.0, 1.57, 0.0});
    lowpass2.SetParameters({true, FilterType::LowPass, 4520.0, 0.728, 0.0});
    // Storage for the responses now: their loads run on the audio thread.
    convolver.Reserve(responseLength, true);
    fs = 0.0;
    currentCabinet = 1;
    SetFs(44100.0);
    ApplyRequests(); // no audio thread yet
}

int TarvexCabinet::GroupOffset(double rate) {
    if (rate < 46050.0) return 0;
    if (rate < 68100.0) return groupSize;
    if (rate < 92100.0) return 2 * groupSize;
    return 3 * groupSize;
}

bool TarvexCabinet::SetCabinet(int c) {
    if (static_cast<unsigned>(c) >= static_cast<unsigned>(choices)) return false;
    unsigned present = request.load();
    for (;;) {
        if ((present & choiceMask) == static_cast<unsigned>(c)) return true;
        const unsigned loads = (present >> choiceBits) + (c >= 2 ? 1u : 0u);
        if (request.compare_exchange_weak(present,
                                          (loads << choiceBits) | static_cast<unsigned>(c)))
            return true;
    }
}

void TarvexCabinet::SetFs(double rate) {
    // An infinite rate would stall the filters' fades and break their
    // coefficients: refused like zero, negative and NaN.
    if (!isNewRate(rate, requestedFs.load())) return;
    requestedFs.store(rate);
    // The reload of the chosen response, from the new group.
    unsigned present = request.load();
    while ((present & choiceMask) >= 2 &&
           !request.compare_exchange_weak(present, present + (1u << choiceBits))) {
    }
}

void TarvexCabinet::ApplyRequests() {
    // The request first: a load it asks for after a rate change then sees
    // that rate.
    const unsigned r = request.load();
    const double rate = requestedFs.load();
    if (rate != fs) {
        fs = rate;
        irOffset = GroupOffset(rate);
        lowpass1.SetFs(rate);
        lowpass2.SetFs(rate);
    }
    if (r == appliedRequest) return;
    const int c = static_cast<int>(r & choiceMask);
    if ((r >> choiceBits) != (appliedRequest >> choiceBits) && c >= 2) Load(c);
    appliedRequest = r;
    currentCabinet = c;
}

void TarvexCabinet::Load(int c) {
    const double* response = heap + irOffset + (c - 2) * responseLength;
    convolver.SetImpulse(response, response, responseLength, true);
}

void TarvexCabinet::process(double* in, double* outLeft, double* outRight, int n) {
    Filter* pair[2];
    int count = 0;
    BeginBlock(pair, count);
    if (n <= 0) return;
    processChain(pair, count, in, n); // fused: their recursions overlap
    EndBlock(in, outLeft, outRight, n);
}

void TarvexCabinet::BeginBlock(Filter** chain, int& count) {
    ApplyRequests();
    if (currentCabinet > 0) {
        chain[count++] = &lowpass1;
        chain[count++] = &lowpass2;
    }
}

void TarvexCabinet::EndBlock(const double* in, double* outLeft, double* outRight, int n) {
    if (n <= 0) return;
    if (currentCabinet > 1) {
        convolver.process(in, outLeft, outRight, n);
        return;
    }
    for (int i = 0; i < n; ++i) {
        outLeft[i] = in[i];
        outRight[i] = in[i];
    }
}

void TarvexCabinet::Reserve(int n) {
    lowpass1.Reserve(n);
    lowpass2.Reserve(n);
}
