#include "dsp/cabinet_convolver.h"

#include "dsp/fft.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

double finiteOrZero(double v) {
    return std::isfinite(v) ? v : 0.0;
}

// Fills one partition of `size` taps into the second half of a frame of 2
// size values (mono, real) starting at response index i; returns the next i.
int fillRealPartition(double* spec, const double* taps, int i, int length, int size,
                      double scale) {
    std::fill(spec, spec + size, 0.0);
    for (int t = 0; t < size; ++t, ++i)
        spec[size + t] = i < length ? scale * finiteOrZero(taps[i]) : 0.0;
    return i;
}

// The same for a stereo pair as complex values left + i right (4 size doubles).
int fillComplexPartition(double* spec, const double* left, const double* right, int i,
                         int length, int size, double scale) {
    std::fill(spec, spec + 2 * size, 0.0);
    for (int t = 0; t < size; ++t, ++i) {
        const bool inside = i < length;
        spec[2 * (size + t)] = inside ? scale * finiteOrZero(left[i]) : 0.0;
        spec[2 * (size + t) + 1] = inside ? scale * finiteOrZero(right[i]) : 0.0;
    }
    return i;
}

} // namespace

CabinetConvolver::CabinetConvolver() {
    for (int k = 0; k < 32; ++k) {
        slot1[k] = frames1[k];
        slot2[k] = frames2[k];
    }
    fftPrepare(); // every plan now, never on the audio path
    const double unit[8] = {1.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
    SetImpulse(unit, unit, 8, true);
}

void CabinetConvolver::SetImpulse(const double* left, const double* right, int length,
                                  bool isMono) {
    mono = isMono;
    if (left == nullptr) length = 0;
    if (right == nullptr) right = left;
    length = std::min(length, maxLength);

    int row = 0;
    while (row < 16 && NLM[row][0] < length)
        ++row;
    const int N = NLM[row][0];
    L = NLM[row][1];
    M = NLM[row][2];
    P1 = M / L - 1;
    P2 = N / M - 1;

    std::memset(frames1, 0, sizeof frames1);
    std::memset(frames2, 0, sizeof frames2);
    std::memset(acc1, 0, sizeof acc1);
    std::memset(acc2, 0, sizeof acc2);

    for (int t = 0; t < 64; ++t) {
        firRing[t] = 0.0;
        headLeft[t] = t < length ? finiteOrZero(left[t]) : 0.0;
        headRight[t] = t < length && !mono ? finiteOrZero(right[t]) : 0.0;
    }
    firPos = 0;

    // The scale cancels the gain of the unscaled inverse transforms.
    int i = L;
    if (P1 > 0) {
        for (int p = 0; p < P1; ++p) {
            if (mono) {
                i = fillRealPartition(spec1[p], left, i, length, L, 2.0 / (2 * L));
                rdft(2 * L, 1, spec1[p], w1);
            } else {
                i = fillComplexPartition(spec1[p], left, right, i, length, L, 2.0 / (4 * L));
                cdft(4 * L, -1, spec1[p], w1);
            }
        }
        stereoPos1 = pos1 = 0;
        pos1L = L;
    }
    if (P2 == 0) return;
    for (int q = 0; q < P2; ++q) {
        if (mono) {
            i = fillRealPartition(spec2[q], left, i, length, M, 2.0 / (2 * M));
            rdft(2 * M, 1, spec2[q], w2);
        } else {
            i = fillComplexPartition(spec2[q], left, right, i, length, M, 2.0 / (4 * M));
            cdft(4 * M, -1, spec2[q], w2);
        }
    }
    stereoPos2 = pos2 = 0;
    pos2L = M;
}

CabinetConvolver::Stage CabinetConvolver::StageOne() {
    return {spec1[0], 256, slot1, acc1, w1, L, P1, pos1, stereoPos1};
}

CabinetConvolver::Stage CabinetConvolver::StageTwo() {
    return {spec2[0], 8192, slot2, acc2, w2, M, P2, pos2, stereoPos2};
}

void CabinetConvolver::StoreStages(const Stage& one, const Stage& two) {
    pos1 = one.pos;
    pos1L = pos1 + L;
    stereoPos1 = one.stereoPos;
    pos2 = two.pos;
    pos2L = pos2 + M;
    stereoPos2 = two.stereoPos;
}

void CabinetConvolver::Rotate(Stage& s) {
    double* last = s.slot[s.partitions];
    for (int k = s.partitions; k > 0; --k)
        s.slot[k] = s.slot[k - 1];
    s.slot[0] = last;
}

// Mono, one sample: the input enters both open frames, the output of the
// previous block's transforms is read, and on odd positions this sample's
// share of the older partitions' products is accumulated into the position
// pair just played: packed spectra multiply as (a + ib)(c + id), the DC and
// half-rate values at 0 and 1 as reals.
double CabinetConvolver::MonoTick(Stage& s, double x) {
    const int S = s.size;
    s.slot[0][s.pos] = x;
    s.slot[1][s.pos + S] = x;
    const double y = s.acc[s.pos];
    if (s.pos & 1) {
        const int j = s.pos - 1; // first bin pair of this share
        const int k = S + j;     // its partner in the upper half
        double first = 0.0, second = 0.0, re = 0.0, im = 0.0;
        for (int p = 1; p < s.partitions; ++p) {
            const double* X = s.slot[p + 1];
            const double* H = s.spec + p * s.stride;
            if (j == 0) {
                first += X[0] * H[0];
                second += X[1] * H[1];
            } else {
                first += X[j] * H[j] - X[j + 1] * H[j + 1];
                second += X[j] * H[j + 1] + X[j + 1] * H[j];
            }
            re += X[k] * H[k] - X[k + 1] * H[k + 1];
            im += X[k] * H[k + 1] + X[k + 1] * H[k];
        }
        s.acc[j] = first;
        s.acc[j + 1] = second;
        s.acc[k] = re;
        s.acc[k + 1] = im;
    }
    s.pos = (s.pos + 1) & (S - 1);
    if (s.pos == 0) EndMonoBlock(s);
    return y;
}

// Block end: the newest frame is transformed, its product with partition 0
// completes the next block's spectrum, which is turned into time samples.
void CabinetConvolver::EndMonoBlock(Stage& s) {
    const int n = 2 * s.size;
    double* X = s.slot[1];
    const double* H = s.spec;
    double* a = s.acc;
    rdft(n, 1, X, s.work);
    a[0] += X[0] * H[0];
    a[1] += X[1] * H[1];
    for (int j = 2; j < n; j += 2) {
        a[j] += X[j] * H[j] - X[j + 1] * H[j + 1];
        a[j + 1] += X[j] * H[j + 1] + X[j + 1] * H[j];
    }
    rdft(n, -1, a, s.work);
    Rotate(s);
}

// Stereo, one sample. The accumulator holds 2S complex bins; bin k of the
// real input frame is X_k = (a, -b) from its packed pair (a, b), and
// X_(2S-k) its conjugate. This sample's share is bin k = stereoPos/2 and its
// mirror 2S - k (at k = 0: DC and the half-rate bin S).
void CabinetConvolver::StereoTick(Stage& s, double x, double& left, double& right) {
    const int S = s.size;
    s.slot[0][s.pos] = x;
    s.slot[1][s.pos + S] = x;
    const int j = s.stereoPos;
    left += s.acc[j];
    right += s.acc[j + 1];
    const int m = 4 * S - j; // mirror bin (2S at j = 0: the half-rate bin S)
    const int mirror = j == 0 ? 2 * S : m;
    double re = 0.0, im = 0.0, mirrorRe = 0.0, mirrorIm = 0.0;
    for (int p = 1; p < s.partitions; ++p) {
        const double* X = s.slot[p + 1];
        const double* H = s.spec + p * s.stride;
        if (j == 0) {
            re += X[0] * H[0];
            im += X[0] * H[1];
            mirrorRe += X[1] * H[mirror];
            mirrorIm += X[1] * H[mirror + 1];
        } else {
            const double a = X[j], b = X[j + 1];
            re += a * H[j] + b * H[j + 1];           // (a - ib)(c + id)
            im += a * H[j + 1] - b * H[j];           //
            mirrorRe += a * H[m] - b * H[m + 1];     // (a + ib)(c + id)
            mirrorIm += a * H[m + 1] + b * H[m];     //
        }
    }
    s.acc[j] = re;
    s.acc[j + 1] = im;
    s.acc[mirror] = mirrorRe;
    s.acc[mirror + 1] = mirrorIm;
    s.stereoPos = (j + 2) & (2 * S - 1);
    s.pos = (s.pos + 1) & (S - 1);
    if (s.pos == 0) EndStereoBlock(s);
}

void CabinetConvolver::EndStereoBlock(Stage& s) {
    const int S = s.size;
    double* X = s.slot[1];
    const double* H = s.spec;
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

void CabinetConvolver::process(const double* in, double* outLeft, double* outRight, int n) {
    if (mono) {
        process_mono(in, outLeft, n);
        if (outRight != outLeft) std::copy(outLeft, outLeft + std::max(n, 0), outRight);
    } else {
        process_stereo(in, outLeft, outRight, n);
    }
}

void CabinetConvolver::process_mono(const double* in, double* out, int n) {
    Stage one = StageOne();
    Stage two = StageTwo();
    const int mask = L - 1;
    int position = firPos;
    for (int k = 0; k < n; ++k) {
        const double x = in[k];
        firRing[position] = x;
        double y = 0.0;
        for (int t = 0; t < L; ++t)
            y += headLeft[t] * firRing[(position - t) & mask];
        position = (position + 1) & mask;
        if (one.partitions > 0) y += MonoTick(one, x);
        if (two.partitions > 0) y += MonoTick(two, x);
        out[k] = y;
    }
    firPos = position;
    StoreStages(one, two);
}

void CabinetConvolver::process_stereo(const double* in, double* outLeft, double* outRight,
                                      int n) {
    Stage one = StageOne();
    Stage two = StageTwo();
    const int mask = L - 1;
    int position = firPos;
    for (int k = 0; k < n; ++k) {
        const double x = in[k];
        firRing[position] = x;
        double left = 0.0, right = 0.0;
        for (int t = 0; t < L; ++t) {
            const double past = firRing[(position - t) & mask];
            left += headLeft[t] * past;
            right += headRight[t] * past;
        }
        position = (position + 1) & mask;
        if (one.partitions > 0) StereoTick(one, x, left, right);
        if (two.partitions > 0) StereoTick(two, x, left, right);
        outLeft[k] = left;
        outRight[k] = right;
    }
    firPos = position;
    StoreStages(one, two);
}

void CabinetConvolver::process_iphone(double* buffer, int n) {
    process_mono(buffer, buffer, n);
}
