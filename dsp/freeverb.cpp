#include "dsp/freeverb.h"

#include "dsp/primes.h"

#include <algorithm>
#include <cassert>
#include <climits>
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

constexpr int tile = 8;

// The 8 x 8 transpose of v[k][j] (one row per comb, one column per sample)
// and back again.
[[gnu::always_inline]] inline void transpose(Lanes* v) {
    Lanes t[8], u[8];
    for (int k = 0; k < 8; k += 2) {
        t[k] = __builtin_shufflevector(v[k], v[k + 1], 0, 8, 2, 10, 4, 12, 6, 14);
        t[k + 1] = __builtin_shufflevector(v[k], v[k + 1], 1, 9, 3, 11, 5, 13, 7, 15);
    }
    for (int k = 0; k < 8; k += 4) {
        for (int h = 0; h < 2; ++h) {
            u[k + h] = __builtin_shufflevector(t[k + h], t[k + h + 2], 0, 1, 8, 9, 4, 5, 12, 13);
            u[k + h + 2] =
                __builtin_shufflevector(t[k + h], t[k + h + 2], 2, 3, 10, 11, 6, 7, 14, 15);
        }
    }
    for (int j = 0; j < 4; ++j) {
        v[j] = __builtin_shufflevector(u[j], u[j + 4], 0, 1, 2, 3, 8, 9, 10, 11);
        v[j + 4] = __builtin_shufflevector(u[j], u[j + 4], 4, 5, 6, 7, 12, 13, 14, 15);
    }
}

// Both comb banks over a stretch of at most the shortest comb's length, so
// that every comb wraps at most once in it. Per comb and sample, as
// process_LBCF: state = flush(d state + (1 - d) b), entry = g state + in,
// output b. The sixteen one-pole recursions advance side by side in lanes.
struct CombBanks {
    static constexpr int count = Freeverb::combCount;
    static_assert(count == tile, "one bank per vector of lanes");
    ReverbDelayBlock* banks[2];
    double* e[2][count]; // e[b][k][i]: the entry of sample i of the stretch
    int wrap[2][count];  // the sample at which the position returns to 0
    int nextWrap;        // the earliest wrap still ahead
    Lanes d[2], rest[2], g[2], state[2];

    CombBanks(ReverbDelayBlock* left, ReverbDelayBlock* right, int m) : banks{left, right} {
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
        findNextWrap();
    }
    void findNextWrap() {
        nextWrap = INT_MAX;
        for (int b = 0; b < 2; ++b)
            for (int k = 0; k < count; ++k)
                nextWrap = std::min(nextWrap, wrap[b][k]);
    }
    void finish() {
        for (int b = 0; b < 2; ++b)
            for (int k = 0; k < count; ++k)
                banks[b][k].state = state[b][k];
    }

    // Samples i .. i + 7, none at a wrap: eight entries of every comb are
    // loaded at once, summed in comb order, turned into eight samples of all
    // combs for the recursions, and turned back to be stored.
    [[gnu::always_inline]] void whole(int i, const double* in, Lanes* sums) {
        Lanes v[2][count];
        for (int b = 0; b < 2; ++b) {
            Lanes total = {};
            for (int k = 0; k < count; ++k) {
                std::memcpy(&v[b][k], e[b][k] + i, sizeof v[b][k]);
                total += v[b][k];
            }
            sums[b] = total;
            transpose(v[b]);
        }
        for (int j = 0; j < tile; ++j) {
            const double x = in[j];
            for (int b = 0; b < 2; ++b) {
                state[b] = d[b] * state[b] + rest[b] * v[b][j];
                flushLanes(state[b]);
                v[b][j] = g[b] * state[b] + x;
            }
        }
        for (int b = 0; b < 2; ++b) {
            transpose(v[b]);
            for (int k = 0; k < count; ++k)
                std::memcpy(e[b][k] + i, &v[b][k], sizeof v[b][k]);
        }
    }

    // Samples i .. i + n - 1 one at a time, taking the wraps among them.
    void some(int i, int n, const double* in, double (*sums)[tile]) {
        for (int j = 0; j < n; ++j, ++i) {
            for (int b = 0; b < 2; ++b)
                for (int k = 0; k < count; ++k)
                    if (wrap[b][k] == i) {
                        e[b][k] -= banks[b][k].size;
                        wrap[b][k] = INT_MAX;
                    }
            for (int b = 0; b < 2; ++b) {
                double* const* p = e[b];
                const Lanes entries = {p[0][i], p[1][i], p[2][i], p[3][i],
                                       p[4][i], p[5][i], p[6][i], p[7][i]};
                double total = 0.0;
                for (int k = 0; k < count; ++k)
                    total += entries[k];
                sums[b][j] = total;
                state[b] = d[b] * state[b] + rest[b] * entries;
                flushLanes(state[b]);
                const Lanes written = g[b] * state[b] + in[j];
                for (int k = 0; k < count; ++k)
                    p[k][i] = written[k];
            }
        }
        findNextWrap();
    }
};

// One all-pass over n samples of x (n at most a tile), as process_FBFFCF:
// entry = flush(g b + x), output b - x.
[[gnu::always_inline]] inline void allpassSome(ReverbDelayBlock& allpass, double* x, int n) {
    const double g = allpass.g;
    int position = allpass.position;
    for (int i = 0; i < n; ++i) {
        const double b = allpass.buffer[position];
        allpass.buffer[position] = flush(g * b + x[i]);
        x[i] = b - x[i];
        if (++position == allpass.size) position = 0;
    }
    allpass.position = position;
}

// One bank's all-passes in order over a whole tile x, in place; eight samples
// clear of an all-pass's wrap run as one vector.
[[gnu::always_inline]] inline void allpassesWhole(ReverbDelayBlock* bank, Lanes& x, bool last) {
    for (int k = 0; k < Freeverb::allpassCount; ++k) {
        ReverbDelayBlock& allpass = bank[k];
        const int position = allpass.position;
        if (allpass.size - position >= tile) {
            double* e = allpass.buffer + position;
            Lanes b;
            std::memcpy(&b, e, sizeof b);
            Lanes entry = allpass.g * b + x;
            flushLanes(entry);
            x = b - x;
            std::memcpy(e, &entry, sizeof entry);
            allpass.position = position + tile == allpass.size ? 0 : position + tile;
        } else {
            double y[tile];
            std::memcpy(y, &x, sizeof y);
            allpassSome(allpass, y, tile);
            std::memcpy(&x, y, sizeof y);
        }
        if (last) allpass.lastOutput = x[tile - 1];
    }
}

// A stretch of m samples (m at most the shortest comb), a tile at a time:
// the mono input, the combs, each bank's all-passes and the output mix.
TARVEX_WIDE_CLONES void stretch(Freeverb& r, double* left, double* right, int m) {
    CombBanks combs(r.combL, r.combR, m);
    const double wet1 = r.wet1, wet2 = r.wet2, wet = r.wet, dry = r.dry;
    int i = 0;
    for (; i + tile <= m; i += tile) {
        Lanes l, rr, sums[2];
        std::memcpy(&l, left + i, sizeof l);
        std::memcpy(&rr, right + i, sizeof rr);
        const Lanes x = (l + rr) * 0.5;
        double in[tile];
        std::memcpy(in, &x, sizeof in);
        if (i + tile <= combs.nextWrap) {
            combs.whole(i, in, sums);
        } else {
            double some[2][tile];
            combs.some(i, tile, in, some);
            std::memcpy(&sums[0], some[0], sizeof sums[0]);
            std::memcpy(&sums[1], some[1], sizeof sums[1]);
        }
        const bool last = i + tile == m;
        allpassesWhole(r.allpassL, sums[0], last);
        allpassesWhole(r.allpassR, sums[1], last);
        l = (sums[0] * wet1 + sums[1] * wet2) * wet + l * dry;
        rr = (sums[1] * wet1 + sums[0] * wet2) * wet + rr * dry;
        std::memcpy(left + i, &l, sizeof l);
        std::memcpy(right + i, &rr, sizeof rr);
    }
    if (i < m) { // the last few samples one at a time
        const int n = m - i;
        double* const l = left + i;
        double* const rr = right + i;
        double in[tile], sums[2][tile];
        for (int j = 0; j < n; ++j)
            in[j] = (l[j] + rr[j]) * 0.5;
        combs.some(i, n, in, sums);
        for (auto* bank : {r.allpassL, r.allpassR}) {
            double* y = sums[bank == r.allpassL ? 0 : 1];
            for (int k = 0; k < Freeverb::allpassCount; ++k) {
                allpassSome(bank[k], y, n);
                bank[k].lastOutput = y[n - 1];
            }
        }
        for (int j = 0; j < n; ++j) {
            const double leftIn = l[j], rightIn = rr[j];
            l[j] = (sums[0][j] * wet1 + sums[1][j] * wet2) * wet + leftIn * dry;
            rr[j] = (sums[1][j] * wet1 + sums[0][j] * wet2) * wet + rightIn * dry;
        }
    }
    combs.finish();
}

} // namespace

void Freeverb::process(double* left, double* right, int n) {
#ifndef NDEBUG
    processCalls.fetch_add(1, std::memory_order_relaxed);
#endif
    int shortest = INT_MAX;
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
