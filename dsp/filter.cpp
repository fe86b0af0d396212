#include "dsp/filter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
// Gains whose linear factor would leave the double range are refused; so are
// NaN and infinities, which would poison every later sample.
constexpr double maxGainDb = 6000.0;
} // namespace

Filter::Filter() {
    SetFs(44100.0);
    Update();
    fade.Swap();
    Update();
}

void Filter::SetParameter(int index, double value) {
    switch (index) {
    case kOn:
        parameters.enabled = readSwitch(value);
        bypass.SetState(parameters.enabled ? 1.0 : 0.0);
        return;
    case kType: {
        int type = 0;
        if (readChoice(value, FilterType::AllPass, type) && storeIfChanged(parameters.type, type))
            fade.dirty = true;
        return;
    }
    case kFrequency:
        if (value > 0.0 && value < 0.5 * fs && storeIfChanged(parameters.frequency, value))
            fade.dirty = true;
        return;
    case kQ:
        if (value > 0.0 && storeIfChanged(parameters.q, value)) fade.dirty = true;
        return;
    case kGain:
        if (std::fabs(value) <= maxGainDb && storeIfChanged(parameters.gain, value))
            fade.dirty = true;
        return;
    default:
        return;
    }
}

double Filter::GetParameter(int index) const {
    switch (index) {
    case kOn:
        return parameters.enabled ? 1.0 : 0.0;
    case kType:
        return parameters.type;
    case kFrequency:
        return parameters.frequency;
    case kQ:
        return parameters.q;
    case kGain:
        return parameters.gain;
    default:
        return 0.0;
    }
}

void Filter::SetParameters(FilterParameters p) {
    SetParameter(kOn, p.enabled ? 1.0 : 0.0);
    SetParameter(kType, p.type);
    SetParameter(kFrequency, p.frequency);
    SetParameter(kQ, p.q);
    SetParameter(kGain, p.gain);
}

void Filter::SetFs(double rate) {
    if (!isNewRate(rate, fs)) return;
    fs = rate;
    if (parameters.frequency >= 0.5 * fs) parameters.frequency = 0.499 * fs;
    bypass.SetFs(fs);
    fade.dirty = true;
    fade.SetFs(fs);
}

void Filter::Update() {
    const double g = std::pow(10.0, 0.05 * parameters.gain);
    const double A = std::pow(10.0, 0.025 * parameters.gain);
    const double pi = std::acos(-1.0);
    const double w = 2.0 * pi * parameters.frequency / fs;
    const double cw = std::cos(w);
    const double sw = std::sin(w);
    const double alpha = sw * 0.5 / parameters.q;

    double b0 = 1.0, b1 = 0.0, b2 = 0.0, a0 = 1.0, a1 = 0.0, a2 = 0.0;
    if (parameters.type >= FilterType::LowPass1 && parameters.type <= FilterType::AllPass1) {
        const double t = std::tan(0.5 * w);
        const double K = 1.0 / t;
        a0 = 1.0 + K;
        a1 = 1.0 - K;
        switch (parameters.type) {
        case FilterType::LowPass1:
            b0 = g;
            b1 = g;
            break;
        case FilterType::HighPass1:
            b0 = g;
            b1 = -g;
            a0 = 1.0 + t;
            a1 = t - 1.0;
            break;
        case FilterType::LowShelf1:
            b0 = g + K;
            b1 = g - K;
            break;
        case FilterType::HighShelf1:
            b0 = 1.0 + K * g;
            b1 = 1.0 - K * g;
            break;
        default: // AllPass1
            b0 = g * (1.0 - K);
            b1 = g * (1.0 + K);
            break;
        }
    } else {
        const double sqrtA2alpha = 2.0 * std::sqrt(A) * alpha;
        a0 = 1.0 + alpha;
        a1 = -2.0 * cw;
        a2 = 1.0 - alpha;
        switch (parameters.type) {
        case FilterType::Gain:
            b0 = g;
            a0 = 1.0;
            a1 = 0.0;
            a2 = 0.0;
            break;
        case FilterType::LowPass:
            b0 = g * (1.0 - cw) / 2.0;
            b1 = g * (1.0 - cw);
            b2 = g * (1.0 - cw) / 2.0;
            break;
        case FilterType::HighPass:
            b0 = g * (1.0 + cw) / 2.0;
            b1 = -g * (1.0 + cw);
            b2 = g * (1.0 + cw) / 2.0;
            break;
        case FilterType::BandPass:
            b0 = g * alpha;
            b1 = 0.0;
            b2 = -g * alpha;
            break;
        case FilterType::Notch:
            b0 = g;
            b1 = -2.0 * g * cw;
            b2 = g;
            break;
        case FilterType::Peak:
            b0 = 1.0 + alpha * A;
            b1 = -2.0 * cw;
            b2 = 1.0 - alpha * A;
            a0 = 1.0 + alpha / A;
            a2 = 1.0 - alpha / A;
            break;
        case FilterType::LowShelf:
            b0 = A * ((A + 1.0) - (A - 1.0) * cw + sqrtA2alpha);
            b1 = 2.0 * A * ((A - 1.0) - (A + 1.0) * cw);
            b2 = A * ((A + 1.0) - (A - 1.0) * cw - sqrtA2alpha);
            a0 = (A + 1.0) + (A - 1.0) * cw + sqrtA2alpha;
            a1 = -2.0 * ((A - 1.0) + (A + 1.0) * cw);
            a2 = (A + 1.0) + (A - 1.0) * cw - sqrtA2alpha;
            break;
        case FilterType::HighShelf:
            b0 = A * ((A + 1.0) + (A - 1.0) * cw + sqrtA2alpha);
            b1 = -2.0 * A * ((A - 1.0) + (A + 1.0) * cw);
            b2 = A * ((A + 1.0) + (A - 1.0) * cw - sqrtA2alpha);
            a0 = (A + 1.0) - (A - 1.0) * cw + sqrtA2alpha;
            a1 = 2.0 * ((A - 1.0) - (A + 1.0) * cw);
            a2 = (A + 1.0) - (A - 1.0) * cw - sqrtA2alpha;
            break;
        default: // AllPass
            b0 = g * (1.0 - alpha);
            b1 = -2.0 * g * cw;
            b2 = g * (1.0 + alpha);
            break;
        }
    }

    const double n = 1.0 / a0;
    FilterSection& s = sets[fade.currentSet];
    s.b0 = flush(b0 * n);
    s.b1 = flush(b1 * n);
    s.b2 = flush(b2 * n);
    s.c1 = flush(a1 * (-n));
    s.c2 = flush(a2 * (-n));
    // Settings at the numeric edge (a q so small that alpha overflows) give
    // silence rather than a filter that poisons every later sample.
    if (!std::isfinite(s.b0 + s.b1 + s.b2 + s.c1 + s.c2)) s.b0 = s.b1 = s.b2 = s.c1 = s.c2 = 0.0;
    s.clearState();
}

void Filter::process(double* buffer, int n) {
    if (!bypass.active) return;
    bypass.senddry(buffer, n);
    fade.BeginBlock([this] { Update(); });
    fade.process(sets, buffer, n);
    bypass.process(buffer, n);
}

void Filter::process(double* left, double* right, int n) {
    if (!bypass.active) return;
    bypass.senddry(left, right, n);
    fade.BeginBlock([this] { Update(); });
    fade.process(sets, left, right, n);
    bypass.process(left, right, n);
}

bool Filter::ProcessAsGain(double* buffer, int n) {
    if (n <= 0 || !Settled()) return false;
    FilterSection& s = Current();
    if (!s.flatGain() || !s.stateFinite() || !blockFinite(buffer, n)) return false;
    // The histories as tick would leave them.
    const double x1 = buffer[n - 1], x2 = n > 1 ? buffer[n - 2] : s.x1;
    const double y2 = s.y1;
    const double g = s.b0;
    for (int i = 0; i < n; ++i)
        buffer[i] = flush(g * buffer[i]);
    s.x1 = x1;
    s.x2 = x2;
    s.y1 = buffer[n - 1];
    s.y2 = n > 1 ? buffer[n - 2] : y2;
    return true;
}

namespace {

// K settled sections over one block, sample by sample across the group. The
// group size is a template argument so that the sections live in locals and
// their histories stay in registers.
template <int K> void runInterleaved(Filter* const* filters, double* x, int n) {
    FilterSection sections[K];
    for (int k = 0; k < K; ++k)
        sections[k] = filters[k]->Current();
    for (int i = 0; i < n; ++i) {
        double v = x[i];
#pragma GCC unroll 4
        for (int k = 0; k < K; ++k)
            v = sections[k].tick(v);
        x[i] = v;
    }
    for (int k = 0; k < K; ++k) {
        recoverState(sections[k]);
        filters[k]->Current() = sections[k];
    }
}

// A run of settled sections as a wavefront across vector lanes: section k
// sits in lane first + k (the run ends in the last lane) and at step t works
// on sample t - k, with the output that lane first + k - 1 produced at step
// t - 1 as its input. One step of lane arithmetic so advances the whole run
// by one sample, and each section still sees its own samples in order with
// the same operations, so the results are those of processing the sections
// one after another. Lanes before `first` are padding. The first and last
// count - 1 steps, while the wave fills and drains, leave idle lanes as they
// were.

// Lane conditions come from these tables by position, and lanes are chosen
// by bit operations: vector compares and selects would be lowered lane by
// lane in the kernels built for several instruction sets. A window of eight
// entries from fromLane + 24 - a + 8 v marks the lanes 8 v + j >= a; from
// untilLane + 24 - b + 8 v the lanes 8 v + j <= b (for up to 24 lanes).
constexpr long long fromLane[48] = {0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,
                                    0,  0,  0,  0,  0,  0,  0,  0,  -1, -1, -1, -1, -1, -1, -1, -1,
                                    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
constexpr long long untilLane[49] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                     -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0,
                                     0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,
                                     0,  0,  0,  0,  0,  0,  0,  0,  0,  0};

// The mask of lanes lo..hi of vector v.
[[gnu::always_inline]] inline void lanesBetween(LaneFlags& mask, int lo, int hi, int v) {
    LaneFlags from, until;
    std::memcpy(&from, fromLane + 24 - lo + 8 * v, sizeof from);
    std::memcpy(&until, untilLane + 24 - hi + 8 * v, sizeof until);
    mask = from & until;
}

// a where the mask is set, b elsewhere, bit for bit.
[[gnu::always_inline]] inline void select(Lanes& out, const LaneFlags& mask, const Lanes& a,
                                          const Lanes& b) {
    out = (Lanes)(((LaneFlags)a & mask) | ((LaneFlags)b & ~mask));
}

template <int NV> struct Wavefront {
    static constexpr int lanes = 8 * NV;
    Lanes c1[NV], c2[NV], b0[NV], b1[NV], b2[NV];
    Lanes x1[NV], x2[NV], y1[NV], y2[NV];
    LaneFlags input; // the lane of section 0, which takes the input
    int first = 0;
    int count = 0;

    // One step at time t; Masked for the steps that have idle lanes.
    template <bool Masked> [[gnu::always_inline]] void Step(double in, int t, int n) {
        Lanes xin[NV];
        const Lanes fresh = {in, in, in, in, in, in, in, in};
        const Lanes shifted = __builtin_shufflevector(y1[0], y1[0], 0, 0, 1, 2, 3, 4, 5, 6);
        select(xin[0], input, fresh, shifted);
#pragma GCC unroll 2
        for (int v = 1; v < NV; ++v)
            xin[v] = __builtin_shufflevector(y1[v - 1], y1[v], 7, 8, 9, 10, 11, 12, 13, 14);
        // The lanes whose section has its sample t - section in [0, n).
        const int lo = first + std::max(0, t - n + 1), hi = first + std::min(count - 1, t);
#pragma GCC unroll 3
        for (int v = 0; v < NV; ++v) {
            // A vector with no busy lane stays as it is: while the wave
            // fills, the vectors it has not reached; while it drains, those
            // it has left.
            if (Masked && (hi < 8 * v || lo > 8 * v + 7)) continue;
            Lanes y;
            differenceSum(y, c1[v], c2[v], b0[v], b1[v], b2[v], xin[v], x1[v], x2[v], y1[v], y2[v]);
            flushLanes(y);
            if constexpr (Masked) {
                LaneFlags busy;
                lanesBetween(busy, lo, hi, v);
                select(y2[v], busy, y1[v], y2[v]);
                select(y1[v], busy, y, y1[v]);
                select(x2[v], busy, x1[v], x2[v]);
                select(x1[v], busy, xin[v], x1[v]);
            } else {
                y2[v] = y1[v];
                y1[v] = y;
                x2[v] = x1[v];
                x1[v] = xin[v];
            }
        }
    }

    [[gnu::always_inline]] void Run(Filter* const* filters, int filterCount, double* x, int n) {
        count = filterCount;
        first = lanes - count;
        // Each vector built in registers from its lanes' sections (padding
        // lanes read a section at rest).
        static const FilterSection rest{};
        const FilterSection* lane[lanes];
        for (int g = 0; g < lanes; ++g)
            lane[g] = g < first ? &rest : &filters[g - first]->Current();
        const auto gather = [&lane](Lanes(&out)[NV], double FilterSection::*field) {
            for (int v = 0; v < NV; ++v) {
                const FilterSection* const* l = lane + 8 * v;
                out[v] = Lanes{l[0]->*field, l[1]->*field, l[2]->*field, l[3]->*field,
                               l[4]->*field, l[5]->*field, l[6]->*field, l[7]->*field};
            }
        };
        gather(c1, &FilterSection::c1);
        gather(c2, &FilterSection::c2);
        gather(b0, &FilterSection::b0);
        gather(b1, &FilterSection::b1);
        gather(b2, &FilterSection::b2);
        gather(x1, &FilterSection::x1);
        gather(x2, &FilterSection::x2);
        gather(y1, &FilterSection::y1);
        gather(y2, &FilterSection::y2);
        lanesBetween(input, first, first, 0);

        const int steps = n + count - 1;
        const int filled = std::min(count - 1, steps);
        int t = 0;
        for (; t < filled; ++t) // filling: no output yet
            Step<true>(t < n ? x[t] : 0.0, t, n);
        for (; t < n; ++t) {
            Step<false>(x[t], t, n);
            x[t - count + 1] = y1[NV - 1][7];
        }
        for (; t < steps; ++t) { // draining
            Step<true>(0.0, t, n);
            x[t - count + 1] = y1[NV - 1][7];
        }

        for (int k = 0; k < count; ++k) {
            const int v = (first + k) / 8, j = (first + k) % 8;
            FilterSection& s = filters[k]->Current();
            s.x1 = x1[v][j];
            s.x2 = x2[v][j];
            s.y1 = y1[v][j];
            s.y2 = y2[v][j];
            recoverState(s);
        }
    }
};

// Runs of this many sections or more go through the wavefront.
constexpr int wavefrontFrom = 5;

// The longest run of settled filters processChain fuses.
constexpr int maxRun = 24;

// A run of settled filters in groups of two to four (one alone only when the
// run is one filter): four recursions overlap without running out of
// registers, and a lone section waits on its own recursion every sample.
void runGroups(Filter* const* filters, int count, double* x, int n) {
    while (count > 0) {
        const int group = count <= 4 ? count : count % 4 == 1 || count % 4 == 2 ? 3 : 4;
        switch (group) {
        case 1:
            runInterleaved<1>(filters, x, n);
            break;
        case 2:
            runInterleaved<2>(filters, x, n);
            break;
        case 3:
            runInterleaved<3>(filters, x, n);
            break;
        default:
            runInterleaved<4>(filters, x, n);
            break;
        }
        filters += group;
        count -= group;
    }
}

__attribute__((target("avx512f"))) void runWavefront(Filter* const* filters, int count, double* x,
                                                     int n) {
    // Not value-initialised: Run sets every member before reading it.
    if (count <= 8) {
        Wavefront<1> w;
        w.Run(filters, count, x, n);
    } else if (count <= 16) {
        Wavefront<2> w;
        w.Run(filters, count, x, n);
    } else {
        Wavefront<3> w;
        w.Run(filters, count, x, n);
    }
}

// A run of settled filters (at most maxRun). Long runs advance as a wavefront
// where eight lanes fill one register; with narrower registers the
// wavefront's vectors spill and the groups are faster.
void processSettledRun(Filter* const* filters, int count, double* x, int n) {
    if (count >= wavefrontFrom && TARVEX_HAS_AVX512F())
        runWavefront(filters, count, x, n);
    else
        runGroups(filters, count, x, n);
}

// Two groups over their own blocks side by side, as runInterleaved<KA> on x and
// runInterleaved<KB> on y.
template <int KA, int KB>
void runInterleavedPair(Filter* const* a, double* x, Filter* const* b, double* y, int n) {
    FilterSection sa[KA], sb[KB];
    for (int k = 0; k < KA; ++k)
        sa[k] = a[k]->Current();
    for (int k = 0; k < KB; ++k)
        sb[k] = b[k]->Current();
    for (int i = 0; i < n; ++i) {
        double u = x[i], v = y[i];
        for (int k = 0; k < KA; ++k)
            u = sa[k].tick(u);
        for (int k = 0; k < KB; ++k)
            v = sb[k].tick(v);
        x[i] = u;
        y[i] = v;
    }
    for (int k = 0; k < KA; ++k) {
        recoverState(sa[k]);
        a[k]->Current() = sa[k];
    }
    for (int k = 0; k < KB; ++k) {
        recoverState(sb[k]);
        b[k]->Current() = sb[k];
    }
}

// The working filters of a chain into `out` (at most `room`); false when one
// of them is not settled or there are more than `room`.
bool settledWorking(Filter* const* filters, int count, Filter** out, int room, int& working) {
    working = 0;
    for (int k = 0; k < count; ++k) {
        if (!filters[k]->bypass.active) continue;
        if (!filters[k]->Settled() || working == room) return false;
        out[working++] = filters[k];
    }
    return true;
}

} // namespace

void processChain(Filter* const* filters, int count, double* x, int n) {
    // Runs of settled filters are fused; a filter that is off passes the block
    // untouched and is left out, one that fades or has a change pending runs
    // on its own between the runs.
    Filter* run[maxRun];
    int length = 0;
    for (int k = 0; k < count; ++k) {
        Filter* f = filters[k];
        if (!f->bypass.active) continue;
        if (f->Settled()) {
            if (length == maxRun) {
                processSettledRun(run, length, x, n);
                length = 0;
            }
            run[length++] = f;
            continue;
        }
        processSettledRun(run, length, x, n);
        length = 0;
        f->process(x, n);
    }
    processSettledRun(run, length, x, n);
}

void processChains(Filter* const* a, int countA, double* x, Filter* const* b, int countB, double* y,
                   int n) {
    Filter *workingA[2], *workingB[2];
    int ka = 0, kb = 0;
    if (settledWorking(a, countA, workingA, 2, ka) && settledWorking(b, countB, workingB, 2, kb) &&
        ka > 0 && kb > 0) {
        // Chains of one length share vectors, one lane each.
        switch (ka * 4 + kb) {
        case 5:
            runSeriesInLanes(x, std::tie(workingA[0]->Current()), y,
                             std::tie(workingB[0]->Current()), n);
            return;
        case 6:
            runInterleavedPair<1, 2>(workingA, x, workingB, y, n);
            return;
        case 9:
            runInterleavedPair<2, 1>(workingA, x, workingB, y, n);
            return;
        default:
            runSeriesInLanes(x, std::tie(workingA[0]->Current(), workingA[1]->Current()), y,
                             std::tie(workingB[0]->Current(), workingB[1]->Current()), n);
            return;
        }
    }
    processChain(a, countA, x, n);
    processChain(b, countB, y, n);
}

void Filter::Reserve(int n) {
    bypass.Reserve(n, false);
}
