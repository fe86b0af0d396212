#include "dsp/fft.h"

#include <fftw3.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>

namespace {

constexpr int maxLog = 13; // fftMaxSize = 2^13
static_assert((1 << maxLog) == fftMaxSize);

// Plans per log2(n), [0] for 16-byte aligned arrays, [1] for any alignment.
// rdft uses a real transform of n points, cdft a complex one of n/2 points;
// both run out of place into the caller's work area, because FFTW's
// out-of-place plans on aligned arrays execute without allocating.
struct Plans {
    fftw_plan forwardReal[2][maxLog + 1] = {};
    fftw_plan inverseReal[2][maxLog + 1] = {};
    fftw_plan positiveComplex[2][maxLog + 1] = {};
    fftw_plan negativeComplex[2][maxLog + 1] = {};

    Plans() {
        constexpr unsigned base = FFTW_ESTIMATE | FFTW_DESTROY_INPUT;
        // One double more than the largest use, so that the offset (unaligned)
        // arrays fit too.
        double* in = fftw_alloc_real(fftMaxSize + 4);
        double* out = fftw_alloc_real(fftMaxSize + 4);
        for (int alignment = 0; alignment < 2; ++alignment) {
            const unsigned flags = base | (alignment == 0 ? 0u : FFTW_UNALIGNED);
            double* r = in + alignment;
            double* c = out + alignment;
            auto* rc = reinterpret_cast<fftw_complex*>(r);
            auto* cc = reinterpret_cast<fftw_complex*>(c);
            for (int k = 1; k <= maxLog; ++k) {
                const int n = 1 << k;
                forwardReal[alignment][k] = fftw_plan_dft_r2c_1d(n, r, cc, flags);
                inverseReal[alignment][k] = fftw_plan_dft_c2r_1d(n, cc, r, flags);
                positiveComplex[alignment][k] =
                    fftw_plan_dft_1d(n / 2, rc, cc, FFTW_BACKWARD, flags);
                negativeComplex[alignment][k] =
                    fftw_plan_dft_1d(n / 2, rc, cc, FFTW_FORWARD, flags);
            }
        }
        fftw_free(in);
        fftw_free(out);
    }
    // Runs when the program ends or a module holding this code is unloaded:
    // a host that loads and unloads the plug-in must get the memory back.
    // Only these plans are destroyed; the planner stays, as another user of
    // the FFTW library in the same process may rely on it.
    ~Plans() {
        for (auto* group : {&forwardReal, &inverseReal, &positiveComplex, &negativeComplex})
            for (auto& byAlignment : *group)
                for (fftw_plan& plan : byAlignment)
                    if (plan != nullptr) fftw_destroy_plan(plan);
    }
    Plans(const Plans&) = delete;
    Plans& operator=(const Plans&) = delete;
};

[[gnu::always_inline]] inline const Plans& plans() {
    static const Plans all; // built once; C++ makes its start-up thread-safe
    return all;
}

// log2(n) for a power of two in 2 .. fftMaxSize, else 0.
int sizeIndex(int n) {
    if (n < 2 || n > fftMaxSize || (n & (n - 1)) != 0) return 0;
    return __builtin_ctz(static_cast<unsigned>(n));
}

// Arrays on 64-byte lines (the audio path's) are aligned for any SIMD
// alignment the library may use; others are asked of the library.
[[gnu::always_inline]] inline int alignmentOf(double* a, double* work) {
    if (((reinterpret_cast<std::uintptr_t>(a) | reinterpret_cast<std::uintptr_t>(work)) & 63) == 0)
        return 0;
    return fftw_alignment_of(a) == 0 && fftw_alignment_of(work) == 0 ? 0 : 1;
}

} // namespace

void fftPrepare() {
    plans();
}

bool rdft(int n, int isgn, double* a, double* work) {
    const int k = sizeIndex(n);
    if (k == 0) return false;
    const Plans& p = plans();
    const int alignment = alignmentOf(a, work);
    auto* spectrum = reinterpret_cast<fftw_complex*>(work);
    // FFTW's kernel is exp(-i ...): its bin k is the conjugate of the packed one.
    if (isgn >= 0) {
        fftw_execute_dft_r2c(p.forwardReal[alignment][k], a, spectrum);
        a[0] = work[0];
        a[1] = work[n];
        for (int j = 2; j < n; j += 2) {
            a[j] = work[j];
            a[j + 1] = -work[j + 1];
        }
    } else {
        // The full Hermitian inverse counts every bin but DC and n/2 twice
        // over the packed form's sum: its input is halved, which is exact and
        // gives bit for bit the halved output.
        work[0] = 0.5 * a[0];
        work[1] = 0.0;
        work[n] = 0.5 * a[1];
        work[n + 1] = 0.0;
        for (int j = 2; j < n; j += 2) {
            work[j] = 0.5 * a[j];
            work[j + 1] = -0.5 * a[j + 1];
        }
        fftw_execute_dft_c2r(p.inverseReal[alignment][k], spectrum, a);
    }
    return true;
}

bool cdft(int n, int isgn, double* a, double* work) {
    const int k = sizeIndex(n);
    if (k == 0) return false;
    const Plans& p = plans();
    const int alignment = alignmentOf(a, work);
    fftw_plan plan = isgn >= 0 ? p.positiveComplex[alignment][k] : p.negativeComplex[alignment][k];
    fftw_execute_dft(plan, reinterpret_cast<fftw_complex*>(a),
                     reinterpret_cast<fftw_complex*>(work));
    std::memcpy(a, work, sizeof(double) * static_cast<unsigned>(n));
    return true;
}

bool realForward(int n, double* in, double* out) {
    const int k = sizeIndex(n);
    if (k == 0) return false;
    fftw_execute_dft_r2c(plans().forwardReal[alignmentOf(in, out)][k], in,
                         reinterpret_cast<fftw_complex*>(out));
    return true;
}

bool realInverse(int n, double* in, double* out) {
    const int k = sizeIndex(n);
    if (k == 0) return false;
    fftw_execute_dft_c2r(plans().inverseReal[alignmentOf(in, out)][k],
                         reinterpret_cast<fftw_complex*>(in), out);
    return true;
}
