#include "amp/tarvex_channel.h"

#include "amp/meter.h"
#include "dsp/block.h"
#include "dsp/mapping.h"

#include <algorithm>
#include <cmath>
#include <cstring>

// h[k] = sinc((k - 31.5) / 8) w[k] / S with the four-term Blackman-Nuttall
// window w over 64 points and S the sum of the unnormalised products, rounded
// to 13 significant digits; symmetric, h[63 - k] = h[k].
constexpr double TarvexChannel::us_filter[taps] = {
    -7.152272101153e-07, -3.235138521791e-06, -1.062856200654e-05, -2.592168886885e-05,
    -4.890263352696e-05, -7.282810337232e-05, -8.098592885315e-05, -4.534775617938e-05,
    6.980266163204e-05,  0.0002969076189452,  0.0006465370192265,  0.001084260778296,
    0.001510030847876,   0.001750145452996,   0.001572357436754,   0.0007313414191055,
    -0.0009557397016156, -0.003514257183389,  -0.006719133909772,  -0.01003264902487,
    -0.01260234954421,   -0.01333991159347,   -0.01108463786045,   -0.004832693616861,
    0.006009132818093,   0.02140167782076,    0.04054274867932,    0.06187364863247,
    0.08324182929542,    0.102203145126,      0.1164121907352,     0.1240241811311,
    0.1240241811311,     0.1164121907352,     0.102203145126,      0.08324182929542,
    0.06187364863247,    0.04054274867932,    0.02140167782076,    0.006009132818093,
    -0.004832693616861,  -0.01108463786045,   -0.01333991159347,   -0.01260234954421,
    -0.01003264902487,   -0.006719133909772,  -0.003514257183389,  -0.0009557397016156,
    0.0007313414191055,  0.001572357436754,   0.001750145452996,   0.001510030847876,
    0.001084260778296,   0.0006465370192265,  0.0002969076189452,  6.980266163204e-05,
    -4.534775617938e-05, -8.098592885315e-05, -7.282810337232e-05, -4.890263352696e-05,
    -2.592168886885e-05, -1.062856200654e-05, -3.235138521791e-06, -7.152272101153e-07,
};

namespace {

constexpr int taps = TarvexChannel::taps;

constexpr bool symmetric(const double (&h)[taps]) {
    for (int k = 0; k < taps; ++k)
        if (h[k] != h[taps - 1 - k]) return false;
    return true;
}
// The down-sampler reads its windows oldest first against h in table order.
static_assert(symmetric(TarvexChannel::us_filter));

// The up-sampler's branches side by side and oldest first:
// c[r][j] = h[j + (taps/L - 1 - r) L], so that one input sample meets all L
// phases in one step.
template <int L> struct Phases { double c[taps / L][L]; };
template <int L> constexpr Phases<L> makePhases() {
    Phases<L> p{};
    for (int r = 0; r < taps / L; ++r)
        for (int j = 0; j < L; ++j)
            p.c[r][j] = TarvexChannel::us_filter[j + (taps / L - 1 - r) * L];
    return p;
}
constexpr Phases<4> phases4 = makePhases<4>();
constexpr Phases<2> phases2 = makePhases<2>();
constexpr Phases<1> phases1 = makePhases<1>();

// Every resampler output (but the factor-4 up-sampler's, see upsample4) is
// a sum of 64 products split into eight partial sums, each running over its
// terms in order from zero, and the eight added pairwise at the end, so that
// they do not form one serial chain of additions. The eight partial sums sit
// side by side in one vector of lanes; the arithmetic is lane by lane, so any
// vector width gives the same results.
typedef double Quarter __attribute__((vector_size(16)));

// Stores the L phases of eight inputs in time order: out[k L + j] = y[j][k].
[[gnu::always_inline]] inline void interleave(const Lanes (&y)[4], double* out) {
    const Lanes y01 = __builtin_shufflevector(y[0], y[1], 0, 8, 1, 9, 2, 10, 3, 11);
    const Lanes y01High = __builtin_shufflevector(y[0], y[1], 4, 12, 5, 13, 6, 14, 7, 15);
    const Lanes y23 = __builtin_shufflevector(y[2], y[3], 0, 8, 1, 9, 2, 10, 3, 11);
    const Lanes y23High = __builtin_shufflevector(y[2], y[3], 4, 12, 5, 13, 6, 14, 7, 15);
    const Lanes o[4] = {
        __builtin_shufflevector(y01, y23, 0, 1, 8, 9, 2, 3, 10, 11),
        __builtin_shufflevector(y01, y23, 4, 5, 12, 13, 6, 7, 14, 15),
        __builtin_shufflevector(y01High, y23High, 0, 1, 8, 9, 2, 3, 10, 11),
        __builtin_shufflevector(y01High, y23High, 4, 5, 12, 13, 6, 7, 14, 15),
    };
    std::memcpy(out, o, sizeof o);
}
[[gnu::always_inline]] inline void interleave(const Lanes (&y)[2], double* out) {
    const Lanes o[2] = {
        __builtin_shufflevector(y[0], y[1], 0, 8, 1, 9, 2, 10, 3, 11),
        __builtin_shufflevector(y[0], y[1], 4, 12, 5, 13, 6, 14, 7, 15),
    };
    std::memcpy(out, o, sizeof o);
}
[[gnu::always_inline]] inline void interleave(const Lanes (&y)[1], double* out) {
    std::memcpy(out, &y[0], sizeof y[0]);
}

// Up-sampling by L: lane p L + j sums phase j over the rows r = p, p + 8/L,
// ...; row r multiplies window[r], so a step of 8/L rows meets the window
// samples each repeated L times. Phase j of input i is the pairwise sum of
// lanes j, L + j, ... times L.
//
// Eight inputs at a time the same sums run with the lanes across the inputs
// instead: for each phase j and part p, lane k sums c[r][j] window_(i+k)[r]
// over the same rows in the same order, so that one load serves eight
// inputs and no lane needs shuffling; the results are identical.
// (Factor 4 has its own kernel below.)
template <int L>
[[gnu::always_inline]] inline void upsampleBy(const Phases<L>& phases, const double* line, int n,
                                              double* out) {
    constexpr int branch = taps / L;
    constexpr int parts = 8 / L;
    const double* c = &phases.c[0][0];
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const double* windows = line + taps + 1 + i - branch; // window_(i+k) = windows + k
        Lanes phaseOut[L];
#pragma GCC unroll 4
        for (int j = 0; j < L; ++j) {
            Lanes part[parts] = {};
#pragma GCC unroll 8
            for (int r = 0; r < branch; r += parts) {
#pragma GCC unroll 8
                for (int p = 0; p < parts; ++p) {
                    Lanes w;
                    std::memcpy(&w, windows + r + p, sizeof w);
                    part[p] += c[(r + p) * L + j] * w;
                }
            }
            Lanes y;
            if constexpr (L == 2) {
                y = ((part[0] + part[1]) + (part[2] + part[3])) * 2.0;
            } else {
                y = ((part[0] + part[1]) + (part[2] + part[3])) +
                    ((part[4] + part[5]) + (part[6] + part[7]));
            }
            phaseOut[j] = y;
        }
        interleave(phaseOut, out + i * L);
    }
    for (; i < n; ++i) {
        const double* window = line + taps + 1 + i - branch; // x[i - branch + 1 .. i]
        Lanes sum = {};
#pragma GCC unroll 8
        for (int r = 0; r < branch; r += parts) {
            Lanes w, coefficients;
            std::memcpy(&coefficients, c + r * L, sizeof coefficients);
            if constexpr (L == 1) {
                std::memcpy(&w, window + r, sizeof w);
            } else {
                const double w0 = window[r], w1 = window[r + 1], w2 = window[r + 2],
                             w3 = window[r + 3];
                w = Lanes{w0, w0, w1, w1, w2, w2, w3, w3};
            }
            sum += coefficients * w;
        }
        if constexpr (L == 2) {
            const Lanes pairs = sum + __builtin_shufflevector(sum, sum, 2, 3, 0, 1, 6, 7, 4, 5);
            const Quarter phase = __builtin_shufflevector(pairs, pairs, 0, 1) +
                                  __builtin_shufflevector(pairs, pairs, 4, 5);
            const Quarter y = phase * 2.0;
            std::memcpy(out + i * L, &y, sizeof y);
        } else {
            const Lanes pairs = sum + __builtin_shufflevector(sum, sum, 1, 0, 3, 2, 5, 4, 7, 6);
            const Lanes quads =
                pairs + __builtin_shufflevector(pairs, pairs, 2, 3, 0, 1, 6, 7, 4, 5);
            out[i] = quads[0] + quads[4]; // the gain is 1
        }
    }
}

// Output i is sum_k h[k] s[i L + L - 1 - k] over the oversampled samples s;
// `line` holds 64 earlier samples and then the block. Lane j sums the taps
// k = j, j + 8, ... of output i; the lanes are then added pairwise,
// ((0 + 1) + (2 + 3)) + ((4 + 5) + (6 + 7)).
// (Results go out through references, which keeps wide vectors out of the
// calling convention.)
[[gnu::always_inline]] inline void downsampleLanes(const double* window, Lanes& sum) {
    const double* h = TarvexChannel::us_filter;
    sum = Lanes{};
#pragma GCC unroll 8
    for (int k = 0; k < taps; k += 8) {
        Lanes w, coefficients;
        std::memcpy(&w, window + k, sizeof w);
        std::memcpy(&coefficients, h + k, sizeof coefficients);
        sum += w * coefficients;
    }
}

// Neighbouring lanes of a and b added: (a0 + a1, b0 + b1, a2 + a3, b2 + b3, ...).
[[gnu::always_inline]] inline void addNeighbours(const Lanes& a, const Lanes& b, Lanes& sum) {
    sum = __builtin_shufflevector(a, b, 0, 8, 2, 10, 4, 12, 6, 14) +
          __builtin_shufflevector(a, b, 1, 9, 3, 11, 5, 13, 7, 15);
}

// Eight outputs at a time are added across their lane sums together, in the
// same pairs as one at a time, so that seven additions serve all eight.
template <int L>
[[gnu::always_inline]] inline void downsampleBy(const double* line, int n, double* x) {
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        Lanes s[8];
#pragma GCC unroll 8
        for (int o = 0; o < 8; ++o)
            downsampleLanes(line + (i + o) * L + L, s[o]);
        // Output o's pair sums, then its halves, then the whole.
        Lanes p01, p23, p45, p67;
        addNeighbours(s[0], s[1], p01);
        addNeighbours(s[2], s[3], p23);
        addNeighbours(s[4], s[5], p45);
        addNeighbours(s[6], s[7], p67);
        const Lanes q0 = __builtin_shufflevector(p01, p23, 0, 1, 8, 9, 4, 5, 12, 13) +
                         __builtin_shufflevector(p01, p23, 2, 3, 10, 11, 6, 7, 14, 15);
        const Lanes q1 = __builtin_shufflevector(p45, p67, 0, 1, 8, 9, 4, 5, 12, 13) +
                         __builtin_shufflevector(p45, p67, 2, 3, 10, 11, 6, 7, 14, 15);
        const Lanes y = __builtin_shufflevector(q0, q1, 0, 1, 2, 3, 8, 9, 10, 11) +
                        __builtin_shufflevector(q0, q1, 4, 5, 6, 7, 12, 13, 14, 15);
        std::memcpy(x + i, &y, sizeof y);
    }
    for (; i < n; ++i) {
        Lanes sum;
        downsampleLanes(line + i * L + L, sum);
        const Lanes pairs = sum + __builtin_shufflevector(sum, sum, 1, 0, 3, 2, 5, 4, 7, 6);
        const Lanes quads = pairs + __builtin_shufflevector(pairs, pairs, 2, 3, 0, 1, 6, 7, 4, 5);
        x[i] = quads[0] + quads[4];
    }
}

// Up-sampling by 4 in pairs of mirrored phases. Phase 3 - j runs phase j's
// branch backwards (the filter is symmetric), so with the window w of 16
// inputs, u = y_j + y_(3-j) = sum_(r<8) (c_j[r] + c_j[15-r]) (w[r] + w[15-r])
// and v = y_j - y_(3-j) the same with differences; then y_j = (u + v) / 2 and
// y_(3-j) = (u - v) / 2 (times the gain 4). Half the multiplications of the
// direct branches, at a rounding within a few units in the last place of it.
struct Butterflies {
    double sum[2][8], difference[2][8]; // [j][r]
};
constexpr Butterflies makeButterflies() {
    Butterflies b{};
    for (int j = 0; j < 2; ++j)
        for (int r = 0; r < 8; ++r) {
            b.sum[j][r] = phases4.c[r][j] + phases4.c[15 - r][j];
            b.difference[j][r] = phases4.c[r][j] - phases4.c[15 - r][j];
        }
    return b;
}
constexpr Butterflies butterflies = makeButterflies();

// Eight inputs at a time, one per lane (window_(i+k) = windows + k), then one
// at a time with the same operations in the same order.
TARVEX_VECTOR_CLONES void upsample4(const double* line, int n, double* out) {
    const Butterflies& b = butterflies;
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const double* windows = line + taps + 1 + i - 16;
        Lanes u[2] = {}, v[2] = {};
#pragma GCC unroll 8
        for (int r = 0; r < 8; ++r) {
            Lanes early, late;
            std::memcpy(&early, windows + r, sizeof early);
            std::memcpy(&late, windows + 15 - r, sizeof late);
            const Lanes sum = early + late, difference = early - late;
#pragma GCC unroll 2
            for (int j = 0; j < 2; ++j) {
                u[j] += b.sum[j][r] * sum;
                v[j] += b.difference[j][r] * difference;
            }
        }
        const Lanes y[4] = {(u[0] + v[0]) * 2.0, (u[1] + v[1]) * 2.0, (u[1] - v[1]) * 2.0,
                            (u[0] - v[0]) * 2.0};
        interleave(y, out + i * 4);
    }
    for (; i < n; ++i) {
        const double* window = line + taps + 1 + i - 16;
        double u[2] = {}, v[2] = {};
        for (int r = 0; r < 8; ++r) {
            const double sum = window[r] + window[15 - r], difference = window[r] - window[15 - r];
            for (int j = 0; j < 2; ++j) {
                u[j] += b.sum[j][r] * sum;
                v[j] += b.difference[j][r] * difference;
            }
        }
        out[i * 4] = (u[0] + v[0]) * 2.0;
        out[i * 4 + 1] = (u[1] + v[1]) * 2.0;
        out[i * 4 + 2] = (u[1] - v[1]) * 2.0;
        out[i * 4 + 3] = (u[0] - v[0]) * 2.0;
    }
}

// Built per instruction set: the lanes fill one or two registers instead of
// four where the processor has wide ones.
TARVEX_VECTOR_CLONES void upsample2(const double* line, int n, double* out) {
    upsampleBy(phases2, line, n, out);
}
TARVEX_VECTOR_CLONES void upsample1(const double* line, int n, double* out) {
    upsampleBy(phases1, line, n, out);
}
TARVEX_VECTOR_CLONES void downsample4(const double* line, int n, double* x) {
    downsampleBy<4>(line, n, x);
}
TARVEX_VECTOR_CLONES void downsample2(const double* line, int n, double* x) {
    downsampleBy<2>(line, n, x);
}
TARVEX_VECTOR_CLONES void downsample1(const double* line, int n, double* x) {
    downsampleBy<1>(line, n, x);
}

// After a block of n samples the line's last 64 become its history.
void keepHistory(MonoBuffer& line, int n) {
    std::copy(line.data + n, line.data + n + taps, line.data);
}

} // namespace

// Scales each sample and follows the squared-peak envelope of the result,
// which decays by `decay` per sample and jumps to any higher y^2; a stage for
// runSeries. A non-finite sample cannot hold the envelope for good: it
// restarts at 0 after the block.
struct TarvexChannel::PeakStage {
    double envelope;
    double decay;
    double scale;

    double tick(double x) {
        const double y = x * scale;
        envelope = followPeak(envelope, decay, y * y);
        return y;
    }
    bool stateFinite() const { return std::isfinite(envelope); }
    void clearState() { envelope = 0.0; }

    // Two in the lanes of one vector; the envelope follows as followPeak.
    struct Lanes {
        Pair envelope, decay, scale;
        Lanes(const PeakStage& a, const PeakStage& b)
            : envelope{a.envelope, b.envelope}, decay{a.decay, b.decay}, scale{a.scale, b.scale} {}
        [[gnu::always_inline]] Pair tick(Pair x) {
            const Pair y = x * scale;
            const Pair decayed = flushPair(envelope * decay), square = y * y;
            envelope = decayed < square ? square : decayed;
            return y;
        }
        void store(PeakStage& a, PeakStage& b) const {
            a.envelope = envelope[0];
            b.envelope = envelope[1];
            recoverState(a);
            recoverState(b);
        }
    };
};

TarvexChannel::TarvexChannel() {
    channelOn.SetState(1.0);
    invertGain = 1.0;
    compressor.SetParameters({true, 1, 0.5, 0.001, 0.25});
    gainControl.SetParameters({0, 0.5});
    tubePre.SetParameters({true, 50.0, true, 0.7, 0.37, 0.0, true, -11.0, 1000.0});
    bass.SetParameters({true, FilterType::LowShelf, 90.0, 0.7071, 0.0});
    mid.SetParameters({true, FilterType::Peak, 350.0, 1.414, 0.0});
    treble.SetParameters({true, FilterType::HighShelf, 1000.0, 0.7071, 0.0});
    tubePost.SetParameters({true, 1.0, true, 0.95, 0.0, 0.0, false, -6.0, 650.0});
    fs = 0.0;
    SetFs(44100.0);
    osFactor = 4;
    osGain = 4.0;
    osLength = 4;
    upHistory.Resize(taps); // zeroed histories; the blocks behind them grow on demand
    osBuffer.Resize(taps);
    osBuffer.Reserve(taps + osLength);
    compEnv = 0.0;
    limEnv = 0.0;
}

void TarvexChannel::SetParameter(int index, double value) {
    switch (index) {
    case kChannelOn:
        channelOn.SetState(readSwitch(value) ? 1.0 : 0.0);
        return;
    case kInvert:
        invertGain = readSwitch(value) ? -1.0 : 1.0;
        return;
    case kCompressorOn:
        compressor.SetParameter(CompressorSustainer::kOn, readSwitch(value) ? 1.0 : 0.0);
        return;
    case kCompressorAmount:
        compressor.SetParameter(CompressorSustainer::kAmount, value);
        return;
    case kCompressorAttack:
        compressor.SetParameter(CompressorSustainer::kAttack, range(value, 0.001, 0.05));
        return;
    case kGain:
        gainControl.SetParameter(GainControl::kPosition, range(value, 0.02, 1.0));
        return;
    case kBoost:
        tubePre.SetParameter(Tube::kGainDb, readSwitch(value) ? 40.0 : 20.0);
        return;
    case kBass:
        bass.SetParameter(Filter::kGain, range(value, -15.0, 15.0));
        return;
    case kMids:
        mid.SetParameter(Filter::kGain, range(value, -12.0, 12.0));
        return;
    case kMidFrequency:
        mid.SetParameter(Filter::kFrequency, rangeLog(value, 40.0, 4000.0));
        return;
    case kTreble:
        treble.SetParameter(Filter::kGain, range(value, -15.0, 15.0));
        return;
    case kDrive:
        tubePost.SetParameter(Tube::kGainDb, range(value, -25.0, 15.0));
        return;
    case kClipping:
        tubePost.SetParameter(Tube::kKnee, value);
        return;
    default:
        return;
    }
}

void TarvexChannel::SetFs(double rate) {
    // An infinite rate would stop the meters and every fade for good.
    if (!isNewRate(rate, fs)) return;
    fs = rate;
    meterDecay = peakDecay(fs);

    // Band edges lie midway between neighbouring standard rates; the pre-amp
    // tube is set for a nominal rate, not fs times the factor.
    struct Band {
        double below;
        int factor;
        double tubeRate;
    };
    static constexpr Band bands[] = {
        {46050.0, 4, 176400.0},  {68100.0, 4, 192000.0},  {92100.0, 2, 176400.0},
        {136200.0, 2, 192000.0}, {184200.0, 1, 176400.0},
    };
    osFactor = 1;
    double tubeRate = 192000.0;
    for (const Band& band : bands) {
        if (fs < band.below) {
            osFactor = band.factor;
            tubeRate = band.tubeRate;
            break;
        }
    }
    osGain = osFactor;
    Reserve(reservedBlock); // the oversampled buffers at the new factor

    channelOn.SetFs(fs);
    compressor.SetFs(fs);
    gainControl.SetFs(fs);
    tubePre.SetFs(tubeRate);
    bass.SetFs(fs);
    mid.SetFs(fs);
    treble.SetFs(fs);
    tubePost.SetFs(fs);

    // Run both tubes through the fades their rate change started, on tiny
    // alternating signals, so that audio never meets them mid-fade.
    constexpr int warmUpIterations = 20000;
    double sample[1];
    for (int i = 0; i < warmUpIterations; ++i) {
        sample[0] = 1e-10;
        tubePre.process(sample, 1);
        sample[0] = -1e-10;
        tubePre.process(sample, 1);
        sample[0] = 1e-10;
        tubePost.process(sample, 1);
        sample[0] = -1e-10;
        tubePost.process(sample, 1);
    }
}

void TarvexChannel::Upsample(const double* x, int n) {
    osLength = n * osFactor;
    upHistory.Reserve(taps + n);
    osBuffer.Reserve(taps + osLength);
    std::copy(x, x + n, upHistory.data + taps);
    double* out = OversampledBlock();
    switch (osFactor) {
    case 4:
        upsample4(upHistory.data, n, out);
        break;
    case 2:
        upsample2(upHistory.data, n, out);
        break;
    default:
        upsample1(upHistory.data, n, out);
        break;
    }
    keepHistory(upHistory, n);
}

void TarvexChannel::Downsample(double* x, int n) {
    switch (osFactor) {
    case 4:
        downsample4(osBuffer.data, n, x);
        break;
    case 2:
        downsample2(osBuffer.data, n, x);
        break;
    default:
        downsample1(osBuffer.data, n, x);
        break;
    }
    keepHistory(osBuffer, n * osFactor);
}

bool TarvexChannel::Prepare(double* buffer, int n) {
    if (osLength != n * osFactor) {
        osLength = n * osFactor;
        upHistory.Reserve(taps + n);
        osBuffer.Reserve(taps + osLength);
    }
    if (channelOn.active) return true;
    std::fill(buffer, buffer + n, 0.0);
    compEnv = 0.0;
    limEnv = 0.0;
    return false;
}

// The stages run as series (runSeries) while they are settled, so that their
// recursions overlap; a stage that fades runs on its own.
bool TarvexChannel::FrontSettled() const {
    return gainControl.Settled() && (compressor.Settled() || !compressor.bypass.active);
}

bool TarvexChannel::BackSettled() const {
    return bass.Settled() && mid.Settled() && treble.Settled() && tubePost.Settled();
}

template <class Run> void TarvexChannel::WithFront(PeakStage& peak, Run&& run) {
    if (compressor.bypass.active)
        run(std::tie(compressor.Current(), peak, gainControl.Current()));
    else
        run(std::tie(peak, gainControl.Current()));
}

template <class Run> void TarvexChannel::WithBack(PeakStage& peak, Run&& run) {
    run(std::tie(bass.Current(), mid.Current(), treble.Current(), tubePost.Current(), peak));
}

void TarvexChannel::EndFront(const PeakStage& peak) {
    compEnv = peak.envelope;
    if (compressor.bypass.active) compressor.EndSettledBlock();
}

void TarvexChannel::Front(double* buffer, int n) {
    PeakStage peak{compEnv, meterDecay, 1.0};
    if (FrontSettled()) {
        WithFront(peak, [&](auto stages) {
            std::apply([&](auto&... s) { runSeries(buffer, n, s...); }, stages);
        });
        EndFront(peak);
        return;
    }
    compressor.process(buffer, n);
    runSeries(buffer, n, peak);
    compEnv = peak.envelope;
    gainControl.process(buffer, n);
}

void TarvexChannel::Back(double* buffer, int n) {
    PeakStage peak{limEnv, meterDecay, invertGain};
    if (BackSettled()) {
        WithBack(peak, [&](auto stages) {
            std::apply([&](auto&... s) { runSeries(buffer, n, s...); }, stages);
        });
    } else {
        Filter* const tone[] = {&bass, &mid, &treble};
        processChain(tone, 3, buffer, n);
        tubePost.process(buffer, n);
        runSeries(buffer, n, peak);
    }
    limEnv = peak.envelope;
}

void TarvexChannel::PreAmp(double* buffer, int n) {
    Upsample(buffer, n);
    tubePre.process(OversampledBlock(), osLength);
    Downsample(buffer, n);
}

void TarvexChannel::process(double* buffer, int n) {
    if (n < 0) n = 0;
    if (!Prepare(buffer, n)) return;
    Front(buffer, n);
    PreAmp(buffer, n);
    Back(buffer, n);
    channelOn.process(buffer, n); // no dry copy: switching off fades to silence
}

void TarvexChannel::processPair(TarvexChannel& a, double* x, TarvexChannel& b, double* y, int n) {
    if (n <= 0 || a.osFactor != b.osFactor || !a.channelOn.active || !b.channelOn.active) {
        a.process(x, n);
        b.process(y, n);
        return;
    }
    a.Prepare(x, n);
    b.Prepare(y, n);
    if (a.FrontSettled() && b.FrontSettled()) {
        PeakStage peakA{a.compEnv, a.meterDecay, 1.0}, peakB{b.compEnv, b.meterDecay, 1.0};
        a.WithFront(peakA, [&](auto stagesA) {
            b.WithFront(peakB, [&](auto stagesB) { runSeriesPair(x, stagesA, y, stagesB, n); });
        });
        a.EndFront(peakA);
        b.EndFront(peakB);
    } else {
        a.Front(x, n);
        b.Front(y, n);
    }
    // Settled pre-amp tubes with feedback run side by side in the lanes of
    // one vector.
    if (a.tubePre.Settled() && b.tubePre.Settled() && a.tubePre.Current().feedbackCopy &&
        b.tubePre.Current().feedbackCopy) {
        a.Upsample(x, n);
        b.Upsample(y, n);
        runTubePair(a.tubePre.Current(), a.OversampledBlock(), b.tubePre.Current(),
                    b.OversampledBlock(), a.osLength);
        a.Downsample(x, n);
        b.Downsample(y, n);
    } else {
        a.PreAmp(x, n);
        b.PreAmp(y, n);
    }
    if (a.BackSettled() && b.BackSettled()) {
        PeakStage peakA{a.limEnv, a.meterDecay, a.invertGain},
            peakB{b.limEnv, b.meterDecay, b.invertGain};
        // Post-amp tubes alike in feedback let both series share vectors.
        const bool alike = a.tubePost.Current().feedbackCopy == b.tubePost.Current().feedbackCopy;
        a.WithBack(peakA, [&](auto stagesA) {
            b.WithBack(peakB, [&](auto stagesB) {
                if (alike)
                    runSeriesInLanes(x, stagesA, y, stagesB, n);
                else
                    runSeriesPair(x, stagesA, y, stagesB, n);
            });
        });
        a.limEnv = peakA.envelope;
        b.limEnv = peakB.envelope;
    } else {
        a.Back(x, n);
        b.Back(y, n);
    }
    a.channelOn.process(x, n);
    b.channelOn.process(y, n);
}

double TarvexChannel::CompressorIndicator() const {
    return indicatorStep(compEnv, 0.0, -9.0, -20.0);
}

double TarvexChannel::LimiterIndicator() const {
    return indicatorStep(limEnv, -1.0, -6.0, -20.0);
}

void TarvexChannel::Reserve(int n) {
    reservedBlock = std::max(reservedBlock, n);
    n = reservedBlock;
    upHistory.Reserve(taps + n);
    osBuffer.Reserve(taps + n * osFactor);
    channelOn.Reserve(n, false);
    compressor.Reserve(n);
    tubePre.Reserve(n * osFactor);
    for (Filter* f : {&bass, &mid, &treble})
        f->Reserve(n);
    tubePost.Reserve(n);
}
