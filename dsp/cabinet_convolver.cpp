#include "dsp/cabinet_convolver.h"

#include "dsp/block.h"
#include "dsp/fft.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// y[i] = sum over t = 0 .. taps-1 of h[t] x[i - t] for i < count, the terms
// added in ascending t from zero. Sixteen, eight or two outputs run side by
// side in vector lanes with the same operations in the same order, so the
// results are identical; built per instruction set.
TARVEX_VECTOR_CLONES void directSums(double* y, const double* h, int taps, const double* x,
                                     int count) {
    int i = 0;
    for (; i + 16 <= count; i += 16) { // two independent sums per tap
        Lanes s0 = {}, s1 = {};
        for (int t = 0; t < taps; ++t) {
            const double ht = h[t];
            Lanes p0, p1;
            std::memcpy(&p0, x + i - t, sizeof p0);
            std::memcpy(&p1, x + i + 8 - t, sizeof p1);
            s0 += ht * p0;
            s1 += ht * p1;
        }
        std::memcpy(y + i, &s0, sizeof s0);
        std::memcpy(y + i + 8, &s1, sizeof s1);
    }
#if defined(__SSE2__)
    for (; i + 8 <= count; i += 8) {
        __m128d s0 = _mm_setzero_pd(), s1 = s0, s2 = s0, s3 = s0;
        for (int t = 0; t < taps; ++t) {
            const __m128d ht = _mm_set1_pd(h[t]);
            const double* past = x + i - t;
            s0 = _mm_add_pd(s0, _mm_mul_pd(ht, _mm_loadu_pd(past)));
            s1 = _mm_add_pd(s1, _mm_mul_pd(ht, _mm_loadu_pd(past + 2)));
            s2 = _mm_add_pd(s2, _mm_mul_pd(ht, _mm_loadu_pd(past + 4)));
            s3 = _mm_add_pd(s3, _mm_mul_pd(ht, _mm_loadu_pd(past + 6)));
        }
        _mm_storeu_pd(y + i, s0);
        _mm_storeu_pd(y + i + 2, s1);
        _mm_storeu_pd(y + i + 4, s2);
        _mm_storeu_pd(y + i + 6, s3);
    }
    for (; i + 2 <= count; i += 2) {
        __m128d sum = _mm_setzero_pd();
        for (int t = 0; t < taps; ++t)
            sum = _mm_add_pd(sum, _mm_mul_pd(_mm_set1_pd(h[t]), _mm_loadu_pd(x + i - t)));
        _mm_storeu_pd(y + i, sum);
    }
#endif
    for (; i < count; ++i) {
        double sum = 0.0;
        for (int t = 0; t < taps; ++t)
            sum += h[t] * x[i - t];
        y[i] = sum;
    }
}

// Mono spectra are kept split: the real parts of bins 0 .. S-1, then their
// imaginary parts, so that the products of neighbouring bins need no
// shuffling. Splits bins b .. b+7 of a spectrum in the transform's own layout
// into re and im, and stores them into `split` (2S doubles).
[[gnu::always_inline]] inline void splitEight(const double* spectrum, double* split, int S, int b,
                                              Lanes& re, Lanes& im) {
    Lanes low, high;
    std::memcpy(&low, spectrum + 2 * b, sizeof low);
    std::memcpy(&high, spectrum + 2 * b + 8, sizeof high);
    re = __builtin_shufflevector(low, high, 0, 2, 4, 6, 8, 10, 12, 14);
    im = __builtin_shufflevector(low, high, 1, 3, 5, 7, 9, 11, 13, 15);
    std::memcpy(split + b, &re, sizeof re);
    std::memcpy(split + S + b, &im, sizeof im);
}

// Splits the first S bins of a spectrum into `split`. Built per instruction
// set.
TARVEX_WIDE_CLONES void splitBins(const double* spectrum, double* split, int S) {
    int b = 0;
    for (; b + 8 <= S; b += 8) {
        Lanes re, im;
        splitEight(spectrum, split, S, b, re, im);
    }
    for (; b < S; ++b) {
        split[b] = spectrum[2 * b];
        split[S + b] = spectrum[2 * b + 1];
    }
}

// Eight bins' real and imaginary parts as sixteen values in pairs.
[[gnu::always_inline]] inline void makePairs(const Lanes& re, const Lanes& im, Lanes (&pairs)[2]) {
    pairs[0] = __builtin_shufflevector(re, im, 0, 8, 1, 9, 2, 10, 3, 11);
    pairs[1] = __builtin_shufflevector(re, im, 4, 12, 5, 13, 6, 14, 7, 15);
}

// For the bins b in [first, end) of split spectra (real parts at +0,
// imaginary at +S), and their partners b + S/2, the sums over partitions
// 1 .. count-1 of the products x[p] h[p], stored as pairs at a + 2b. For bins
// (r + i m) and (c + i d) the four sums of rc, md, rd and mc run separately,
// each from zero in partition order, and meet at the end as
// (sum rc - sum md, sum rd + sum mc). Eight bins and their partners side by
// side, then one at a time, with the same operations in the same order;
// built per instruction set.
TARVEX_VECTOR_CLONES void complexSums(double* a, const double* const* x, const double* const* h,
                                      int count, int S, int first, int end) {
    const int half = S / 2;
    int b = first;
    for (; b + 8 <= end; b += 8) {
        Lanes rc[2] = {}, md[2] = {}, rd[2] = {}, mc[2] = {};
        for (int p = 1; p < count; ++p) {
#pragma GCC unroll 2
            for (int k = 0; k < 2; ++k) {
                const int at = b + k * half;
                Lanes r, m, c, d;
                std::memcpy(&r, x[p] + at, sizeof r);
                std::memcpy(&m, x[p] + S + at, sizeof m);
                std::memcpy(&c, h[p] + at, sizeof c);
                std::memcpy(&d, h[p] + S + at, sizeof d);
                rc[k] += r * c;
                md[k] += m * d;
                rd[k] += r * d;
                mc[k] += m * c;
            }
        }
#pragma GCC unroll 2
        for (int k = 0; k < 2; ++k) {
            Lanes pairs[2];
            makePairs(rc[k] - md[k], rd[k] + mc[k], pairs);
            std::memcpy(a + 2 * (b + k * half), pairs, sizeof pairs);
        }
    }
    for (; b < end; ++b) {
        for (const int at : {b, b + half}) {
            double rc = 0.0, md = 0.0, rd = 0.0, mc = 0.0;
            for (int p = 1; p < count; ++p) {
                const double r = x[p][at], m = x[p][S + at], c = h[p][at], d = h[p][S + at];
                rc += r * c;
                md += m * d;
                rd += r * d;
                mc += m * c;
            }
            a[2 * at] = rc - md;
            a[2 * at + 1] = rd + mc;
        }
    }
}

// Splits the first S bins of `spectrum` into x as splitBins does and adds to
// the pairs at a + 2b the products of x and the split spectrum h for every
// bin b < S: (rc - md, rd + mc), each product formed before it is added. S
// is a multiple of 8. Built per instruction set.
TARVEX_VECTOR_CLONES void complexMultiplyAdd(double* a, const double* spectrum, double* x,
                                             const double* h, int S) {
    for (int b = 0; b < S; b += 8) {
        Lanes r, m, c, d, pairs[2];
        splitEight(spectrum, x, S, b, r, m);
        std::memcpy(&c, h + b, sizeof c);
        std::memcpy(&d, h + S + b, sizeof d);
        makePairs(r * c - m * d, r * d + m * c, pairs);
        Lanes sums[2];
        std::memcpy(sums, a + 2 * b, sizeof sums);
        sums[0] += pairs[0];
        sums[1] += pairs[1];
        std::memcpy(a + 2 * b, sums, sizeof sums);
    }
}

// A whole block's spectrum at once: for the bins b in [0, S) of split spectra,
// the sums over partitions 1 .. count-1 formed as complexSums does, then the
// product with partition 0 added as complexMultiplyAdd does, stored as pairs
// at a + 2b: the same operations in the same order as the two in turn,
// without storing and reloading the pairs in between. Partition 0's frame
// x[0] is split from `spectrum` on the way. S is a multiple of 8 (stage
// partitions are at least 8 taps). Built per instruction set.
TARVEX_VECTOR_CLONES void blockSums(double* a, const double* spectrum, double* const* x,
                                    const double* const* h, int count, int S) {
    for (int b = 0; b < S; b += 8) {
        Lanes rc = {}, md = {}, rd = {}, mc = {};
        for (int p = 1; p < count; ++p) {
            Lanes r, m, c, d;
            std::memcpy(&r, x[p] + b, sizeof r);
            std::memcpy(&m, x[p] + S + b, sizeof m);
            std::memcpy(&c, h[p] + b, sizeof c);
            std::memcpy(&d, h[p] + S + b, sizeof d);
            rc += r * c;
            md += m * d;
            rd += r * d;
            mc += m * c;
        }
        Lanes r, m, c, d;
        splitEight(spectrum, x[0], S, b, r, m);
        std::memcpy(&c, h[0] + b, sizeof c);
        std::memcpy(&d, h[0] + S + b, sizeof d);
        Lanes pairs[2];
        makePairs((rc - md) + (r * c - m * d), (rd + mc) + (r * d + m * c), pairs);
        std::memcpy(a + 2 * b, pairs, sizeof pairs);
    }
}

double finiteOrZero(double v) {
    return std::isfinite(v) ? v : 0.0;
}

// Fills one partition of `size` taps into the second half of a frame of 2
// size values (mono, real) starting at response index i; returns the next i.
int fillRealPartition(double* spectra, const double* taps, int i, int length, int size,
                      double scale) {
    std::fill(spectra, spectra + size, 0.0);
    for (int t = 0; t < size; ++t, ++i)
        spectra[size + t] = i < length ? scale * finiteOrZero(taps[i]) : 0.0;
    return i;
}

// The same for a stereo pair as complex values left + i right (4 size doubles).
int fillComplexPartition(double* spectra, const double* left, const double* right, int i,
                         int length, int size, double scale) {
    std::fill(spectra, spectra + 2 * size, 0.0);
    for (int t = 0; t < size; ++t, ++i) {
        const bool inside = i < length;
        spectra[2 * (size + t)] = inside ? scale * finiteOrZero(left[i]) : 0.0;
        spectra[2 * (size + t) + 1] = inside ? scale * finiteOrZero(right[i]) : 0.0;
    }
    return i;
}

// Whole-block sums (blockSums) run eight bins at a time: every row with
// partitioned stages has partitions of at least 8 taps.
constexpr bool partitionsOfEightOrMore() {
    for (const auto& row : CabinetConvolver::NLM)
        if (row[2] > row[1] && row[1] < 8) return false;
    return true;
}
static_assert(partitionsOfEightOrMore());

} // namespace

CabinetConvolver::CabinetConvolver() {
    fftPrepare(); // every plan now, never on the audio path
    const double unit[8] = {1.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
    SetImpulse(unit, unit, 8, true);
}

void CabinetConvolver::FreeAligned::operator()(double* p) const {
    ::operator delete[](p, std::align_val_t{64});
}

int CabinetConvolver::RowFor(int length) {
    int row = 0;
    while (row < 16 && NLM[row][0] < length)
        ++row;
    return row;
}

CabinetConvolver::Layout CabinetConvolver::LayoutFor(int row, bool isMono) {
    // Every array starts on a 64-byte line.
    const auto line = [](int doubles) { return (doubles + 7) & ~7; };
    Layout l{};
    std::size_t at = 0;
    const auto take = [&](int doubles) {
        const std::size_t start = at;
        at += static_cast<std::size_t>(line(doubles));
        return start;
    };
    const int sizes[2] = {NLM[row][1], NLM[row][2]};
    const int partitions[2] = {NLM[row][2] / NLM[row][1] - 1, NLM[row][0] / NLM[row][2] - 1};
    for (int stage = 0; stage < 2; ++stage) {
        const int S = sizes[stage], P = partitions[stage];
        if (P == 0) continue;
        const int specStride = line(isMono ? 2 * S + 2 : 4 * S);
        const int frameStride = line(isMono ? 4 * S + 2 : 2 * S);
        const std::size_t spectra = take(P * specStride);
        const std::size_t frames = take((P + 1) * frameStride);
        const std::size_t acc = take(isMono ? 2 * S + 2 : 4 * S);
        const std::size_t out = isMono ? take(2 * S) : 0;
        const std::size_t work = isMono ? 0 : take(4 * S + 2);
        if (stage == 0) {
            l.spec1 = spectra, l.frames1 = frames, l.acc1 = acc, l.out1 = out, l.w1 = work;
            l.specStride1 = specStride, l.frameStride1 = frameStride;
        } else {
            l.spec2 = spectra, l.frames2 = frames, l.acc2 = acc, l.out2 = out, l.w2 = work;
            l.specStride2 = specStride, l.frameStride2 = frameStride;
        }
    }
    l.total = at;
    return l;
}

void CabinetConvolver::Place(const Layout& l) {
    double* base = storage.get();
    const auto at = [base](std::size_t offset) { return base + offset; };
    spec1 = at(l.spec1), spec2 = at(l.spec2);
    frames1 = at(l.frames1), frames2 = at(l.frames2);
    acc1 = at(l.acc1), acc2 = at(l.acc2);
    out1 = at(l.out1), out2 = at(l.out2);
    w1 = at(l.w1), w2 = at(l.w2);
    specStride1 = l.specStride1, specStride2 = l.specStride2;
    frameStride1 = l.frameStride1, frameStride2 = l.frameStride2;
}

void CabinetConvolver::Grow(std::size_t doubles) {
    if (doubles <= capacity) return;
    std::unique_ptr<double[], FreeAligned> larger(
        static_cast<double*>(::operator new[](doubles * sizeof(double), std::align_val_t{64})));
    double* from = storage.get();
    double* to = larger.get();
    if (capacity > 0) std::memcpy(to, from, capacity * sizeof(double));
    // Every pointer into the old block moves with its data.
    const auto move = [&](double*& p) {
        if (p != nullptr && from != nullptr) p = to + (p - from);
    };
    for (double** p : {&spec1, &spec2, &frames1, &frames2, &acc1, &acc2, &out1, &out2, &w1, &w2})
        move(*p);
    for (int k = 0; k < 32; ++k) {
        move(slot1[k]);
        move(slot2[k]);
    }
    storage = std::move(larger);
    capacity = doubles;
}

void CabinetConvolver::Reserve(int length, bool isMono) {
    Grow(LayoutFor(RowFor(std::min(length, maxLength)), isMono).total);
}

void CabinetConvolver::SetImpulse(const double* left, const double* right, int length,
                                  bool isMono) {
    mono = isMono;
    if (left == nullptr) length = 0;
    if (right == nullptr) right = left;
    length = std::min(length, maxLength);

    const int row = RowFor(length);
    L = NLM[row][1];
    M = NLM[row][2];
    P1 = M / L - 1;
    P2 = NLM[row][0] / M - 1;
    const Layout layout = LayoutFor(row, mono);
    Grow(layout.total);
    Place(layout);

    // Only what the row uses is cleared: frames, accumulators and outputs.
    const auto clear = [](double* p, std::size_t doubles) { std::fill(p, p + doubles, 0.0); };
    std::fill(std::begin(slot1), std::end(slot1), nullptr);
    std::fill(std::begin(slot2), std::end(slot2), nullptr);
    if (P1 > 0) {
        for (int k = 0; k <= P1; ++k)
            slot1[k] = frames1 + k * frameStride1;
        clear(frames1, static_cast<std::size_t>((P1 + 1) * frameStride1));
        clear(acc1, mono ? 2 * L + 2 : 4 * L);
        if (mono) clear(out1, 2 * L);
    }
    if (P2 > 0) {
        for (int k = 0; k <= P2; ++k)
            slot2[k] = frames2 + k * frameStride2;
        clear(frames2, static_cast<std::size_t>((P2 + 1) * frameStride2));
        clear(acc2, mono ? 2 * M + 2 : 4 * M);
        if (mono) clear(out2, 2 * M);
    }

    for (int t = 0; t < 64; ++t) {
        firRing[t] = 0.0;
        headLeft[t] = t < length ? finiteOrZero(left[t]) : 0.0;
        headRight[t] = t < length && !mono ? finiteOrZero(right[t]) : 0.0;
    }

    // The partitions of both stages, continuing through the response. The
    // scale cancels the gain of the unscaled inverse transforms; mono spectra
    // are kept in the transform's own layout, where the inverse counts each
    // bin but DC and the half-rate one twice over the packed form's sum, so
    // they carry a further exact factor 1/2.
    int i = L;
    const auto fill = [&](double* spectra, int stride, double* scratch, double* work, int size,
                          int partitions) {
        for (int p = 0; p < partitions; ++p) {
            double* spectrum = spectra + p * stride;
            if (mono) {
                i = fillRealPartition(scratch, left, i, length, size, 2.0 / (2 * size));
                realForward(2 * size, scratch, spectrum);
                for (int j = 0; j < 2 * size + 2; ++j)
                    spectrum[j] *= 0.5;
                spectrum[1] = spectrum[2 * size + 1] = 0.0;
                splitBins(spectrum, scratch, size); // bin `size` stays at 2 size
                std::copy(scratch, scratch + 2 * size, spectrum);
            } else {
                i = fillComplexPartition(spectrum, left, right, i, length, size, 2.0 / (4 * size));
                cdft(4 * size, -1, spectrum, work);
            }
        }
    };
    // The stage's first frame is scratch for a partition's taps; it is
    // cleared again afterwards.
    if (P1 > 0) {
        fill(spec1, specStride1, frames1, w1, L, P1);
        clear(frames1, static_cast<std::size_t>(2 * L));
        stereoPos1 = pos1 = 0;
        pos1L = L;
    }
    if (P2 == 0) return;
    fill(spec2, specStride2, frames2, w2, M, P2);
    clear(frames2, static_cast<std::size_t>(2 * M));
    stereoPos2 = pos2 = 0;
    pos2L = M;
}

CabinetConvolver::Stage CabinetConvolver::StageOne() {
    return {spec1, specStride1, slot1, acc1, out1, w1, mono ? 2 * L : 0, L, P1, pos1};
}

CabinetConvolver::Stage CabinetConvolver::StageTwo() {
    return {spec2, specStride2, slot2, acc2, out2, w2, mono ? 2 * M : 0, M, P2, pos2};
}

void CabinetConvolver::StoreStages(const Stage& one, const Stage& two) {
    pos1 = one.pos;
    pos1L = pos1 + L;
    stereoPos1 = 2 * pos1;
    pos2 = two.pos;
    pos2L = pos2 + M;
    stereoPos2 = 2 * pos2;
}

void CabinetConvolver::Rotate(Stage& s) {
    double* last = s.slot[s.partitions];
    for (int k = s.partitions; k > 0; --k)
        s.slot[k] = s.slot[k - 1];
    s.slot[0] = last;
}

// The head for `count` samples: `history` holds the L samples before them,
// oldest first, then the samples themselves. Sums run over the taps in
// ascending order. firRing then keeps the last L samples, oldest first.
void CabinetConvolver::Head(const double* history, int count, double* left, double* right,
                            bool stereo) {
    directSums(left, headLeft, L, history + L, count);
    if (stereo) directSums(right, headRight, L, history + L, count);
    std::copy(history + count, history + count + L, firRing);
}

// Mono share of the samples at positions [first, first + count) of the
// block: each odd position 2m+1 accumulates, over the partitions 1 .. P-1 in
// order, the products of bins m and S/2 + m (at m = 0 also the DC and
// half-rate bins, which multiply as reals), into the pairs of the next
// block's spectrum. The frames' and partitions' spectra are split (see
// splitBins); the accumulator is in the transform's own layout.
void CabinetConvolver::MonoShare(Stage& s, int first, int count) {
    const int S = s.size;
    // Odd position q owns bin (q - 1) / 2: the bins lo .. hi - 1, and their
    // partners S/2 + b.
    const int lo = first / 2;
    const int hi = (first + count) / 2;
    if (lo >= hi) return;
    const double* X[32];
    const double* H[32];
    X[0] = H[0] = nullptr; // partition 0 is summed at the block end
    const int partitions = s.partitions;
    for (int p = 1; p < partitions; ++p) {
        X[p] = s.slot[p + 1];
        H[p] = s.spectra + p * s.stride;
    }
    double* a = s.acc;
    // Pair by pair, each summed over the partitions in order from zero.
    complexSums(a, X, H, partitions, S, lo, hi);
    if (lo == 0) { // bin 0 is the DC bin, real, like bin S
        double dc = 0.0, half = 0.0;
        for (int p = 1; p < partitions; ++p) {
            dc += X[p][0] * H[p][0];
            half += X[p][s.spectrumAt + 2 * S] * H[p][2 * S];
        }
        a[0] = dc;
        a[1] = 0.0;
        a[2 * S] = half;
        a[2 * S + 1] = 0.0;
    }
}

// Block end: the newest frame is transformed, its product with partition 0
// completes the next block's spectrum, which is turned into time samples.
// The frame's samples are no longer needed: its split spectrum takes their
// place, the half-rate bin staying in the transform's output behind them.
void CabinetConvolver::EndMonoBlock(Stage& s) {
    const int S = s.size;
    const int n = 2 * S;
    double* X = s.slot[1];
    double* spectrum = X + s.spectrumAt;
    const double* H = s.spectra;
    double* a = s.acc;
    realForward(n, X, spectrum);
    // Bin 0 (DC) multiplies as a real, like bin S; its imaginary part stays.
    const double dc = a[0] + spectrum[0] * H[0], dcImaginary = a[1];
    complexMultiplyAdd(a, spectrum, X, H, S);
    a[0] = dc;
    a[1] = dcImaginary;
    a[n] += spectrum[n] * H[n];
    realInverse(n, a, s.out);
    Rotate(s);
}

// A piece that is a whole block: its share and the block end in one, with
// the newest frame transformed first (the share reads only older frames).
// Bins 0 and S, DC and half-rate, multiply as reals as in MonoShare and
// EndMonoBlock; every sum is formed as there.
void CabinetConvolver::FullMonoBlock(Stage& s) {
    const int S = s.size;
    const int n = 2 * S;
    double* newest = s.slot[1];
    double* spectrum = newest + s.spectrumAt;
    realForward(n, newest, spectrum);
    double* X[32];
    const double* H[32];
    const int partitions = s.partitions;
    for (int p = 0; p < partitions; ++p) {
        X[p] = s.slot[p + 1];
        H[p] = s.spectra + p * s.stride;
    }
    double* a = s.acc;
    blockSums(a, spectrum, X, H, partitions, S);
    double dc = 0.0, half = 0.0;
    for (int p = 1; p < partitions; ++p) {
        dc += X[p][0] * H[p][0];
        half += X[p][s.spectrumAt + 2 * S] * H[p][2 * S];
    }
    a[0] = dc + newest[0] * H[0][0];
    a[1] = 0.0;
    a[n] = half + spectrum[n] * H[0][n];
    a[n + 1] = 0.0;
    realInverse(n, a, s.out);
    Rotate(s);
}

// Stereo share of positions [first, first + count): position k accumulates
// complex bin k and its mirror 2S - k (at k = 0: DC and the half-rate bin S).
// The accumulator holds 2S complex bins; bin k of the real input frame is
// X_k = (a, -b) from its packed pair (a, b), and X_(2S-k) its conjugate.
void CabinetConvolver::StereoShare(Stage& s, int first, int count) {
    const int S = s.size;
    for (int k = first; k < first + count; ++k) {
        const int j = 2 * k;
        const int mirror = k == 0 ? 2 * S : 4 * S - j;
        s.acc[j] = s.acc[j + 1] = s.acc[mirror] = s.acc[mirror + 1] = 0.0;
    }
    for (int p = 1; p < s.partitions; ++p) {
        const double* X = s.slot[p + 1];
        const double* H = s.spectra + p * s.stride;
        double* acc = s.acc;
        int k = first;
        if (k == 0) {
            acc[0] += X[0] * H[0];
            acc[1] += X[0] * H[1];
            acc[2 * S] += X[1] * H[2 * S];
            acc[2 * S + 1] += X[1] * H[2 * S + 1];
            k = 1;
        }
        for (; k < first + count; ++k) {
            const int j = 2 * k, m = 4 * S - j;
            const double a = X[j], b = X[j + 1];
            acc[j] += a * H[j] + b * H[j + 1];     // (a - ib)(c + id)
            acc[j + 1] += a * H[j + 1] - b * H[j]; //
            acc[m] += a * H[m] - b * H[m + 1];     // (a + ib)(c + id)
            acc[m + 1] += a * H[m + 1] + b * H[m]; //
        }
    }
}

void CabinetConvolver::EndStereoBlock(Stage& s) {
    const int S = s.size;
    double* X = s.slot[1];
    const double* H = s.spectra;
    double* acc = s.acc;
    rdft(2 * S, 1, X, s.work);
    acc[0] += X[0] * H[0];
    acc[1] += X[0] * H[1];
    acc[2 * S] += X[1] * H[2 * S];
    acc[2 * S + 1] += X[1] * H[2 * S + 1];
    for (int j = 2; j < 2 * S; j += 2) {
        const int m = 4 * S - j;
        const double a = X[j], b = X[j + 1];
        acc[j] += a * H[j] + b * H[j + 1];
        acc[j + 1] += a * H[j + 1] - b * H[j];
        acc[m] += a * H[m] - b * H[m + 1];
        acc[m + 1] += a * H[m + 1] + b * H[m];
    }
    cdft(4 * S, 1, acc, s.work);
    Rotate(s);
}

// One stage over `count` samples of input x, adding its part of the output
// to left (and right), in pieces that end at the stage's block ends. Within a
// piece every sample's output is read before any share overwrites its
// position (stereo; mono reads a separate output), and the shares of the
// piece's samples are done together in the same order of summation, so the
// result is bit for bit that of running the samples one at a time.
template <bool Stereo>
void CabinetConvolver::Pass(Stage& s, const double* x, double* left, double* right, int count) {
    for (int k = 0; k < count;) {
        const int piece = std::min(count - k, s.size - s.pos);
        // The input goes into both open frames as the outputs are read.
        double* open0 = s.slot[0] + s.pos;
        double* open1 = s.slot[1] + s.pos + s.size;
        if constexpr (Stereo) {
            const double* a = s.acc + 2 * s.pos;
            for (int i = 0; i < piece; ++i) {
                open0[i] = open1[i] = x[k + i];
                left[k + i] += a[2 * i];
                right[k + i] += a[2 * i + 1];
            }
            StereoShare(s, s.pos, piece);
        } else {
            const double* a = s.out + s.pos;
            for (int i = 0; i < piece; ++i) {
                open0[i] = open1[i] = x[k + i];
                left[k + i] += a[i];
            }
            if (piece == s.size) {
                FullMonoBlock(s);
                k += piece;
                continue;
            }
            MonoShare(s, s.pos, piece);
        }
        s.pos = (s.pos + piece) & (s.size - 1);
        if (s.pos == 0) {
            if constexpr (Stereo)
                EndStereoBlock(s);
            else
                EndMonoBlock(s);
        }
        k += piece;
    }
}

// The input runs in spans of up to `span` samples. A sample's output is the
// head's sum, then stage 1's part added, then stage 2's: each runs over the
// whole span in turn, which keeps that order of addition for every sample,
// as the stages share nothing but the input. Stage 2's block ends fall on
// stage 1's (M is a multiple of L). A span's input is copied before any of
// its output is written, so `in` may be an output; mono sums straight into
// its output, stereo in local arrays (the two outputs might be one array).
template <bool Stereo>
void CabinetConvolver::Run(const double* in, double* outLeft, double* outRight, int n) {
    Stage one = StageOne();
    Stage two = StageTwo();
    double history[64 + span], stereoLeft[span], right[span];
    const double* x = history + L;
    for (int k = 0; k < n;) {
        const int count = std::min(n - k, span);
        std::copy(firRing, firRing + L, history);
        std::copy(in + k, in + k + count, history + L);
        double* left = Stereo ? stereoLeft : outLeft + k;
        Head(history, count, left, right, Stereo);
        for (Stage* s : {&one, &two})
            if (s->partitions > 0) Pass<Stereo>(*s, x, left, right, count);
        if constexpr (Stereo) {
            std::copy(left, left + count, outLeft + k);
            std::copy(right, right + count, outRight + k);
        }
        k += count;
    }
    StoreStages(one, two);
}

void CabinetConvolver::process(const double* in, double* outLeft, double* outRight, int n) {
    if (mono) {
        process_mono(in, outLeft, n);
        if (outRight != outLeft) std::copy(outLeft, outLeft + std::max(n, 0), outRight);
    } else {
        process_stereo(in, outLeft, outRight, n);
    }
}

void CabinetConvolver::process_mono(const double* in, double* out, int n) {
    Run<false>(in, out, nullptr, n);
}

void CabinetConvolver::process_stereo(const double* in, double* outLeft, double* outRight, int n) {
    Run<true>(in, outLeft, outRight, n);
}

void CabinetConvolver::process_iphone(double* buffer, int n) {
    process_mono(buffer, buffer, n);
}
