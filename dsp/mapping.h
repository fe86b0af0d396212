// Value mapping between normalised 0..1 parameter values and physical units.
// Pure functions in double precision, evaluated exactly as written; bounds
// come low end first (a reversed pair maps 0 to the first bound). None checks
// its arguments: logarithmic forms need positive values, the inverse forms
// need distinct bounds and iposition needs n >= 2.
#pragma once

// lo + (hi - lo) x, unclamped.
double range(double x, double lo, double hi);
// range with x clamped to 0..1 (a NaN stays NaN).
double limitrange(double x, double lo, double hi);
// (v - lo) / (hi - lo).
double irange(double v, double lo, double hi);
// Equal steps of x give equal ratios: 10^(log10 lo + (log10 hi - log10 lo) x).
double rangeLog(double x, double lo, double hi);
double irangeLog(double v, double lo, double hi);
// A linear factor whose level in dB moves linearly with x between lo and hi dB.
double rangeDb(double x, double lo, double hi);
double irangeDb(double v, double lo, double hi);
double fromDb(double dB);
double toDb(double v);
// The 1-based step 1..n nearest to x, halves rounded up. A result outside the
// int range (or a NaN x) gives INT_MIN, as the platform's conversion does.
int position(double x, int n);
// The 0..1 value of the 1-based step p: (p - 1) / (n - 1).
double iposition(double p, int n);
