// Real and complex discrete Fourier transforms of power-of-two sizes with the
// packing and sign conventions of the classic split-radix package (`rdft`,
// `cdft`), computed by FFTW3 in double precision.
//
// rdft(n, 1, a, work): n real samples in place into the packed spectrum
//   a[0] = R_0, a[1] = R_(n/2), a[2k] = R_k, a[2k+1] = I_k (k = 1 .. n/2-1),
//   where R_k + i I_k = sum_j a_j exp(+i 2 pi jk/n).
// rdft(n, -1, a, work): the inverse of that packing without scaling: the
//   result is n/2 times the signal.
// cdft(n, isgn, a, work): n/2 complex values held as interleaved real and
//   imaginary parts, kernel exp(isgn i 2 pi jk/(n/2)) (isgn >= 0 counts as +1,
//   below 0 as -1), unscaled: -1 then +1 gives n/2 times the signal.
//
// `work` is scratch of at least n + 2 doubles. Every plan is made once, the
// first time any transform is prepared or run, under the thread-safe start-up
// of a function-local static; the FFTW planner is used nowhere else. Executing
// a plan never plans; with `a` and `work` 16-byte aligned it also allocates
// nothing, so the audio path passes aligned arrays (others take slower plans
// that may allocate).
#pragma once

// Largest supported n (doubles) for both transforms; the smallest is 2.
inline constexpr int fftMaxSize = 8192;

// Makes every plan now (idempotent, thread-safe). Call outside the audio path.
void fftPrepare();

// Both return false and leave `a` untouched when n is not a power of two in
// 2 .. fftMaxSize.
bool rdft(int n, int isgn, double* a, double* work);
bool cdft(int n, int isgn, double* a, double* work);

// The real transform pair in FFTW's own layout, for callers that keep their
// spectra in it and so need no repacking: the same plans as rdft, so the
// values are rdft's to the bit (conjugated and, for the inverse, doubled).
// realForward(n, in, out): n real samples into n/2 + 1 complex bins (n + 2
//   doubles), bin k = sum_j in_j exp(-i 2 pi jk/n); `in` may be destroyed.
// realInverse(n, in, out): n/2 + 1 bins into n real samples, unscaled (n
//   times the signal); the imaginary parts of bins 0 and n/2 must be 0; `in`
//   is destroyed.
// `in` and `out` must not overlap. Both return false and touch nothing when
// n is not a power of two in 2 .. fftMaxSize.
bool realForward(int n, double* in, double* out);
bool realInverse(int n, double* in, double* out);
