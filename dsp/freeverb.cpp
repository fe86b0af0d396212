#include "dsp/freeverb.h"

#include "dsp/primes.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>

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
    if (!isNewRate(rate, fs)) return;
#ifndef NDEBUG
    assert(processCalls.load(std::memory_order_relaxed) == 0 &&
           "Freeverb::SetFs must not overlap process");
#endif
    fs = rate;
    // The decay and damping in force before the change stay in force.
    for (int k = 0; k < combCount; ++k)
        combL[k].setup_LBCF(decay, damping, closest_prime(combLengthL[k] * fs / 44100.0));
    for (int k = 0; k < combCount; ++k)
        combR[k].setup_LBCF(decay, damping, closest_prime(combLengthR[k] * fs / 44100.0));
    for (int k = 0; k < allpassCount; ++k)
        allpassL[k].setup_FBFFCF(allpassFeedback, closest_prime(allpassLengthL[k] * fs / 44100.0));
    for (int k = 0; k < allpassCount; ++k)
        allpassR[k].setup_FBFFCF(allpassFeedback, closest_prime(allpassLengthR[k] * fs / 44100.0));
}

namespace {

// Stretches are at most this long, so that their work arrays fit the stack,
// and never longer than the shortest comb.
constexpr int stretchLength = 256;

// An element's entries over samples [0, m) of a stretch in the pieces between
// wraps of its position: body(e, from, to) gets e with e[i] the entry of
// sample i for from <= i < to. The position moves on by m.
template <class Body>
[[gnu::always_inline]] inline void eachPiece(ReverbDelayBlock& element, int m, Body&& body) {
    int position = element.position;
    for (int i = 0; i < m;) {
        const int piece = std::min(m - i, element.size - position);
        body(element.buffer + position - i, i, i + piece);
        i += piece;
        position += piece;
        if (position == element.size) position = 0;
    }
    element.position = position;
}

// The combs of both banks over a stretch of m samples (m at most the shortest
// comb): every comb reads its entries b = buffer[position + i] and writes them
// back, in = the mono input. Per comb and sample, as process_LBCF:
//   state = flush(d state + (1 - d) b),  entry = g state + in,  output b.
// The entries read are all older than the stretch, so the banks' sums (in
// comb order) can be taken ahead, and the sixteen one-pole recursions advance
// side by side in lanes. The stretch splits where a comb's position wraps.
[[gnu::always_inline]] inline void combs(ReverbDelayBlock* left, ReverbDelayBlock* right,
                                         const double* in, double* sumL, double* sumR, int m) {
    constexpr int count = Freeverb::combCount;
    static_assert(count == 8, "one bank per vector of lanes");
    ReverbDelayBlock* banks[2] = {left, right};
    double* sums[2] = {sumL, sumR};
    double* e[2][count]; // e[b][k][i]: the entry of sample i
    int wrap[2][count];  // the sample at which the position returns to 0
    Lanes d[2], rest[2], g[2], state[2];
    for (int b = 0; b < 2; ++b) {
        for (int k = 0; k < count; ++k) {
            ReverbDelayBlock& comb = banks[b][k];
            e[b][k] = comb.buffer + comb.position;
            wrap[b][k] = comb.size - comb.position;
            d[b][k] = comb.d;
            rest[b][k] = comb.oneMinusD;
            g[b][k] = comb.g;
            state[b][k] = comb.state;
            // The output of the last sample, before its entry is overwritten.
            int last = comb.position + m - 1;
            if (last >= comb.size) last -= comb.size;
            comb.lastOutput = comb.buffer[last];
            comb.position = last + 1 == comb.size ? 0 : last + 1;
        }
    }
    for (int from = 0; from < m;) {
        int to = m;
        for (int b = 0; b < 2; ++b)
            for (int k = 0; k < count; ++k)
                if (wrap[b][k] > from) to = std::min(to, wrap[b][k]);
        for (int b = 0; b < 2; ++b) {
            // Eight samples at a time, each summed over the combs in order.
            double* sum = sums[b];
            int i = from;
            for (; i + 8 <= to; i += 8) {
                Lanes total = {};
                for (int k = 0; k < count; ++k) {
                    Lanes entries;
                    std::memcpy(&entries, e[b][k] + i, sizeof entries);
                    total += entries;
                }
                std::memcpy(sum + i, &total, sizeof total);
            }
            for (; i < to; ++i) {
                double total = 0.0;
                for (int k = 0; k < count; ++k)
                    total += e[b][k][i];
                sum[i] = total;
            }
        }
        for (int i = from; i < to; ++i) {
            const double x = in[i];
#pragma GCC unroll 2
            for (int b = 0; b < 2; ++b) {
                double* const* p = e[b];
                const Lanes entries = {p[0][i], p[1][i], p[2][i], p[3][i],
                                       p[4][i], p[5][i], p[6][i], p[7][i]};
                state[b] = d[b] * state[b] + rest[b] * entries;
                flushLanes(state[b]);
                const Lanes written = g[b] * state[b] + x;
#pragma GCC unroll 8
                for (int k = 0; k < count; ++k)
                    p[k][i] = written[k];
            }
        }
        for (int b = 0; b < 2; ++b)
            for (int k = 0; k < count; ++k)
                if (wrap[b][k] == to) e[b][k] -= banks[b][k].size;
        from = to;
    }
    for (int b = 0; b < 2; ++b)
        for (int k = 0; k < count; ++k)
            banks[b][k].state = state[b][k];
}

// One bank's all-passes in order over the stretch, as process_FBFFCF: entry
// = flush(g b + x), output b - x. Between wraps each all-pass is a plain map
// over the samples (no entry written there is read again).
[[gnu::always_inline]] inline void allpasses(ReverbDelayBlock* bank, double* x, int m) {
    for (int k = 0; k < Freeverb::allpassCount; ++k) {
        ReverbDelayBlock& allpass = bank[k];
        const double g = allpass.g;
        eachPiece(allpass, m, [g, x](double* e, int from, int to) {
            int i = from;
            for (; i + 8 <= to; i += 8) { // the same operations eight samples at a time
                Lanes b, v;
                std::memcpy(&b, e + i, sizeof b);
                std::memcpy(&v, x + i, sizeof v);
                Lanes entry = g * b + v;
                flushLanes(entry);
                const Lanes y = b - v;
                std::memcpy(e + i, &entry, sizeof entry);
                std::memcpy(x + i, &y, sizeof y);
            }
            for (; i < to; ++i) {
                const double b = e[i];
                e[i] = flush(g * b + x[i]);
                x[i] = b - x[i];
            }
        });
        allpass.lastOutput = x[m - 1];
    }
}

TARVEX_WIDE_CLONES void stretch(Freeverb& r, double* left, double* right, int m) {
    double in[stretchLength], sumL[stretchLength], sumR[stretchLength];
    for (int i = 0; i < m; ++i)
        in[i] = (left[i] + right[i]) * 0.5;
    combs(r.combL, r.combR, in, sumL, sumR, m);
    allpasses(r.allpassL, sumL, m);
    allpasses(r.allpassR, sumR, m);
    const double wet1 = r.wet1, wet2 = r.wet2, wet = r.wet, dry = r.dry;
    for (int i = 0; i < m; ++i) {
        const double leftIn = left[i], rightIn = right[i];
        left[i] = (sumL[i] * wet1 + sumR[i] * wet2) * wet + leftIn * dry;
        right[i] = (sumR[i] * wet1 + sumL[i] * wet2) * wet + rightIn * dry;
    }
}

} // namespace

void Freeverb::process(double* left, double* right, int n) {
#ifndef NDEBUG
    processCalls.fetch_add(1, std::memory_order_relaxed);
#endif
    int shortest = stretchLength;
    for (const auto* bank : {combL, combR})
        for (int k = 0; k < combCount; ++k)
            shortest = std::min(shortest, bank[k].size);
    for (int done = 0; done < n;) {
        const int m = std::min(n - done, shortest);
        stretch(*this, left + done, right + done, m);
        done += m;
    }
#ifndef NDEBUG
    processCalls.fetch_sub(1, std::memory_order_relaxed);
#endif
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
