#include "dsp/mapping.h"

#include <climits>
#include <cmath>

double range(double x, double lo, double hi) {
    return lo + (hi - lo) * x;
}

double limitrange(double x, double lo, double hi) {
    const double t = x < 0.0 ? 0.0 : (x > 1.0 ? 1.0 : x);
    return lo + t * (hi - lo);
}

double irange(double v, double lo, double hi) {
    return (v - lo) / (hi - lo);
}

double rangeLog(double x, double lo, double hi) {
    const double logLo = std::log10(lo);
    const double logHi = std::log10(hi);
    return std::pow(10.0, logLo + (logHi - logLo) * x);
}

double irangeLog(double v, double lo, double hi) {
    const double logLo = std::log10(lo);
    return (std::log10(v) - logLo) / (std::log10(hi) - logLo);
}

double rangeDb(double x, double lo, double hi) {
    return std::pow(10.0, (lo + (hi - lo) * x) / 20.0);
}

double irangeDb(double v, double lo, double hi) {
    return (20.0 * std::log10(v) - lo) / (hi - lo);
}

double fromDb(double dB) {
    return std::pow(10.0, dB / 20.0);
}

double toDb(double v) {
    return 20.0 * std::log10(v);
}

int position(double x, int n) {
    const double step = std::floor(static_cast<double>(n - 1) * x + 0.5) + 1.0;
    if (!(step >= static_cast<double>(INT_MIN) && step < static_cast<double>(INT_MAX) + 1.0))
        return INT_MIN;
    return static_cast<int>(step);
}

double iposition(double p, int n) {
    return (p - 1.0) / static_cast<double>(n - 1);
}
