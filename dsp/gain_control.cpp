#include "dsp/gain_control.h"

#include <cmath>

namespace {

constexpr int highestType = 5;
constexpr double matchFrequency = 1000.0; // Hz, where digital and analogue agree

// Polynomials of degree 3 or less, coefficient i belonging to s^i (or z^-i).
struct Polynomial {
    double c[4] = {};
};

Polynomial operator+(Polynomial a, const Polynomial& b) {
    for (int i = 0; i < 4; ++i)
        a.c[i] += b.c[i];
    return a;
}

Polynomial operator*(double k, Polynomial a) {
    for (double& v : a.c)
        v *= k;
    return a;
}

Polynomial operator*(const Polynomial& a, const Polynomial& b) {
    Polynomial r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; i + j < 4; ++j)
            r.c[i + j] += a.c[i] * b.c[j];
    return r;
}

Polynomial linear(double constant, double slope) {
    Polynomial p;
    p.c[0] = constant;
    p.c[1] = slope;
    return p;
}

// (s + r1)(s + r2)(s + r3)
Polynomial roots3(double r1, double r2, double r3) {
    return linear(r1, 1.0) * linear(r2, 1.0) * linear(r3, 1.0);
}

AnalogPrototype make(int order, const Polynomial& n, const Polynomial& d) {
    AnalogPrototype h;
    h.order = order;
    for (int i = 0; i < 4; ++i) {
        h.numerator[i] = n.c[i];
        h.denominator[i] = d.c[i];
    }
    return h;
}

} // namespace

AnalogPrototype GainControl::Prototype(int type, double p) {
    const Polynomial s = linear(0.0, 1.0);
    const Polynomial s2 = s * s;
    const Polynomial s3 = s2 * s;
    const Polynomial one = linear(1.0, 0.0);
    switch (type) {
    case 0:
        return make(1, 2.5e11 * p * s,
                    (2.5065e11 * (1.0 + p) - 2.5e11 * p * p) * s +
                        22727272727272.73 * (1.0 + p) * one);
    case 1:
        return make(2, 4.7e17 * p * (1.0 - p) * s2 + 1e21 * p * s,
                    4.713e17 * (1.0 - p) * (p + 0.0012964141735624867) * s2 +
                        (1.00177e21 + 2.128659574468085e21 * p * (1.0010785930612611 - p)) * s +
                        (1e21 + 2.127659574468085e21 * p) * one);
    case 2:
        return make(2, 4.7e11 * p * s,
                    2.209e8 * p * (1.0013 - p) * s2 +
                        (4.70611e11 + 1e12 * p * (1.0015208999999998 - p)) * s +
                        (4.7e11 + 1e12 * p) * one);
    case 3: {
        const Polynomial n =
            p * (2.209e17 * (1.0 - p) * s3 + (2.0040909090909093e21 - 1e21 * p) * s2 +
                 4.545454545454546e24 * s);
        const Polynomial d =
            2.2061311717e17 * p *
                roots3(-35.00588923531594, -5.907090645608312, 4529.065043307274) +
            (-2.2090028717e17 * p * p) *
                (s * linear(4.588744227379833, 1.0) * linear(4529.065080529583, 1.0)) +
            2.8717e14 * roots3(44.947219664566745, 4529.062924400181, 3535969.038794322);
        return make(3, n, d);
    }
    case 4: {
        const Polynomial n =
            p * (7.0312e29 * (1.0 - p) * s3 + (1.2201199999999996e33 - 5.17e32 * p) * s2 +
                 5.169999999999999e35 * s);
        const Polynomial d = 7.047887200000001e29 * p *
                                 roots3(51.47665752303108, 1172.4106911298188, 2280.461160216587) +
                             (-7.058434e29 * p * p) *
                                 roots3(21.604982394799055, 460.031079665099, 3563.6132099457623) +
                             1.0546799999999324e27 *
                                 roots3(50.68129558454031, 824.1628327671543, 1034875.6015045133);
        return make(3, n, d);
    }
    default:
        return make(2, 2.4299e17 * p * s2 + 1.1e21 * p * s,
                    (2.43305887e17 + 4.70611e17 * p - 4.7e17 * p * p) * s2 +
                        (1.629475e21 + 3.15178916827853e21 * p - 2.127659574468085e21 * p * p) * s +
                        (4.999999999999968e22 + 9.67117988394578e22 * p) * one);
    }
}

GainControl::GainControl() {
    SetParameters({0, 0.5});
    fade.SetFs(44100.0);
    fs = 44100.0;
    fade.dirty = true;
    Update();
    fade.Swap();
    Update();
}

void GainControl::SetParameter(int index, double value) {
    switch (index) {
    case kType: {
        int type = 0;
        if (!readChoice(value, highestType, type)) return;
        parameters.type = type;
        fade.dirty = true; // even for the present type
        return;
    }
    case kPosition:
        if (value >= 0.0 && value <= 1.0 && storeIfChanged(parameters.position, value)) {
            taper = value * value;
            fade.dirty = true;
        }
        return;
    default:
        return;
    }
}

double GainControl::GetParameter(int index) const {
    switch (index) {
    case kType:
        return parameters.type;
    case kPosition:
        return parameters.position;
    default:
        return 0.0;
    }
}

void GainControl::SetParameters(GainControlParameters p) {
    SetParameter(kType, p.type);
    SetParameter(kPosition, p.position);
}

void GainControl::SetFs(double rate) {
    // The match frequency must lie below half the rate: at or below 2 kHz the
    // prewarp turns over and the filter would be unstable. NaN and infinite
    // rates are refused as well.
    if (!(rate > 2.0 * matchFrequency && std::isfinite(rate)) || rate == fs) return;
    fs = rate;
    fade.dirty = true;
    fade.SetFs(fs);
}

void GainControl::Update() {
    const double pi = std::acos(-1.0);
    const double K = 2.0 * pi * matchFrequency / std::tan(pi * matchFrequency / fs);
    const AnalogPrototype h = Prototype(parameters.type, taper);
    const int m = h.order;

    // s^i becomes K^i (1 - z^-1)^i (1 + z^-1)^(m - i).
    Polynomial B, A;
    double Ki = 1.0;
    for (int i = 0; i <= m; ++i) {
        Polynomial term = linear(1.0, 0.0);
        for (int j = 0; j < i; ++j)
            term = term * linear(1.0, -1.0);
        for (int j = i; j < m; ++j)
            term = term * linear(1.0, 1.0);
        B = B + (h.numerator[i] * Ki) * term;
        A = A + (h.denominator[i] * Ki) * term;
        Ki *= K;
    }

    GainControlSection& s = sets[fade.currentSet];
    const double a0 = A.c[0];
    s.a1 = flush(-A.c[1] / a0);
    s.a2 = flush(-A.c[2] / a0);
    s.a3 = flush(-A.c[3] / a0);
    s.b0 = flush(B.c[0] / a0);
    s.b1 = flush(B.c[1] / a0);
    s.b2 = flush(B.c[2] / a0);
    s.b3 = flush(B.c[3] / a0);
    s.clearState();
}

void GainControl::process(double* x, int n) {
    fade.BeginBlock([this] { Update(); });
    fade.process(sets, x, n);
}

void GainControl::process_iphone(double* x, int n) {
    if (fade.dirty) {
        fade.Swap();
        Update();
        fade.dirty = false;
    }
    GainControlSection& s = sets[fade.currentSet];
    for (int i = 0; i < n; ++i)
        x[i] = s.tickUnflushed(x[i]);
    recoverState(s); // as in the faded path
}
