#include "dsp/tube.h"

#include <cmath>
#include <cstring>

namespace {

// Drives beyond 120 dB are refused, and so are NaN and infinities: the loop
// solution squares gain x input, and a drive near the double range would turn
// every ordinary sample into NaN.
constexpr double maxGain = 1e6;
// Feedback deeper than 400 dB (k = 1e20) is refused for the same reason.
constexpr double minFeedbackGainDb = -400.0;
// Stands in for +-infinity in the segment tests when the loop gain k is 0.
constexpr double never = 1e100;

bool acceptableGain(double g) {
    return std::fabs(g) <= maxGain;
}

// The curve's segments after the zero shift and the move to the bias point:
// h(u) = f(u + e) with f(e) = bias.
void shapeCurve(const TubeParameters& p, TubeStage& s) {
    const double c = (1.0 - p.knee) * p.asymmetry;
    const double lo = c - p.knee;
    const double hi = c + p.knee;
    s.lowerJoint = lo;
    s.upperJoint = hi;
    s.lowerNum = lo * lo;
    s.lowerDen = 1.0 + 2.0 * lo;
    double upperNum = hi * hi;
    s.upperDen = 1.0 - 2.0 * hi;
    s.linearOffset = 0.0;

    // Make the curve pass through zero when zero lies on a curved segment.
    if (lo > 0.0) {
        const double t = lo * lo;
        s.lowerJoint += t;
        s.upperJoint += t;
        s.lowerDen += t;
        s.upperDen -= t;
        upperNum += t;
        s.lowerNum = 0.0;
        s.linearOffset = -t;
    } else if (hi < 0.0) {
        const double t = hi * hi;
        s.lowerJoint -= t;
        s.upperJoint -= t;
        s.lowerDen -= t;
        s.upperDen += t;
        s.lowerNum += t;
        upperNum = 0.0;
        s.linearOffset = t;
    }

    // The input d at which the curve gives `bias`; then input 0 is moved there.
    const double bias = p.bias;
    double d;
    if (s.linearOffset + s.lowerJoint > bias)
        d = (bias * s.lowerDen - s.lowerNum) / (bias + 1.0);
    else if (bias > s.linearOffset + s.upperJoint)
        d = (bias * s.upperDen + upperNum) / (1.0 - bias);
    else
        d = bias - s.linearOffset;
    s.linearOffset += d;
    s.lowerJoint -= d;
    s.upperJoint -= d;
    s.lowerNum += d;
    s.lowerDen -= d;
    upperNum -= d;
    s.upperDen += d;
    s.negUpperNum = -upperNum;
}

} // namespace

Tube::Tube() {
    SetFs(44100.0);
    Update();
    fade.Swap();
    Update();
}

void Tube::SetParameter(int index, double value) {
    switch (index) {
    case kOn:
        parameters.enabled = readSwitch(value);
        bypass.SetState(parameters.enabled ? 1.0 : 0.0);
        return;
    case kGain:
        if (!acceptableGain(value) || value == parameters.gain) return;
        if (value < 0.0) {
            parameters.gain = -value;
            parameters.invert = true;
        } else {
            parameters.gain = value;
        }
        fade.dirty = true;
        return;
    case kInvert:
    case kFeedback: {
        // Only a real change counts; a NaN reads as neither on nor off.
        bool& flag = index == kInvert ? parameters.invert : parameters.feedback;
        const bool off = value < 0.5;
        const bool on = value >= 0.5;
        if ((off && flag) || (on && !flag)) {
            flag = on;
            fade.dirty = true;
        }
        return;
    }
    case kKnee:
        if (value >= 0.0 && value <= 1.0 && storeIfChanged(parameters.knee, value))
            fade.dirty = true;
        return;
    case kAsymmetry:
        if (value >= -1.0 && value <= 1.0 && storeIfChanged(parameters.asymmetry, value))
            fade.dirty = true;
        return;
    case kBias:
        if (value > -1.0 && value < 1.0 && storeIfChanged(parameters.bias, value))
            fade.dirty = true;
        return;
    case kFeedbackGain:
        if (value < 0.0 && value >= minFeedbackGainDb &&
            storeIfChanged(parameters.feedbackGain, value))
            fade.dirty = true;
        return;
    case kFeedbackFrequency:
        if (value > 0.0 && value < 0.5 * fs && storeIfChanged(parameters.feedbackFrequency, value))
            fade.dirty = true;
        return;
    case kGainDb: {
        const double g = std::pow(10.0, 0.05 * value);
        if (acceptableGain(g) && storeIfChanged(parameters.gain, g)) fade.dirty = true;
        return;
    }
    default:
        return;
    }
}

double Tube::GetParameter(int index) const {
    switch (index) {
    case kOn:
        return parameters.enabled ? 1.0 : 0.0;
    case kGain:
        return parameters.gain;
    case kInvert:
        return parameters.invert ? 1.0 : 0.0;
    case kKnee:
        return parameters.knee;
    case kAsymmetry:
        return parameters.asymmetry;
    case kBias:
        return parameters.bias;
    case kFeedback:
        return parameters.feedback ? 1.0 : 0.0;
    case kFeedbackGain:
        return parameters.feedbackGain;
    case kFeedbackFrequency:
        return parameters.feedbackFrequency;
    case kGainDb:
        return 20.0 * std::log10(parameters.gain);
    default:
        return 0.0;
    }
}

void Tube::SetParameters(TubeParameters p) {
    SetParameter(kOn, p.enabled ? 1.0 : 0.0);
    SetParameter(kGain, p.gain);
    SetParameter(kInvert, p.invert ? 1.0 : 0.0);
    SetParameter(kKnee, p.knee);
    SetParameter(kAsymmetry, p.asymmetry);
    SetParameter(kBias, p.bias);
    SetParameter(kFeedback, p.feedback ? 1.0 : 0.0);
    SetParameter(kFeedbackGain, p.feedbackGain);
    SetParameter(kFeedbackFrequency, p.feedbackFrequency);
}

void Tube::SetFs(double rate) {
    // An infinite rate would stop every fade for good.
    if (!isNewRate(rate, fs)) return;
    fs = rate;
    if (parameters.feedbackFrequency >= 0.5 * fs) parameters.feedbackFrequency = 0.499 * fs;
    bypass.SetFs(fs);
    fade.dirty = true;
    fade.SetFs(fs);
}

void Tube::Update() {
    TubeStage& s = sets[fade.currentSet];
    const TubeParameters& p = parameters;
    s.invertCopy = p.invert;
    s.feedbackCopy = p.feedback;
    s.gain = p.gain;
    s.bias = p.bias;
    s.outputSign = p.invert ? -1.0 : 1.0;
    s.clearState();
    shapeCurve(p, s);

    const double gain = p.gain;
    double beta =
        gain != 0.0 ? 1.0 / (gain * std::pow(10.0, p.feedbackGain / 20.0)) - 1.0 / gain : 0.0;
    if (!std::isfinite(beta) || !std::isfinite(gain * beta)) beta = 0.0; // a subnormal drive
    s.beta = beta;
    const double k = gain * beta;

    const double pi = std::acos(-1.0);
    const double w = pi * p.feedbackFrequency / fs;
    const double a = (1.0 - w) / (1.0 + w);
    const double b = w / (1.0 + w);
    s.lpPole = a;
    s.lpGain = b;
    s.carryGain = 1.0 + a;

    const double bias = p.bias;
    const double kb = k * b;
    s.linearP = 1.0 / (1.0 + kb);
    s.linearX = b * gain / (1.0 + kb);
    s.linear0 = b * (s.linearOffset - bias) / (1.0 + kb);
    s.negK = -k;
    s.negGain = -gain;
    s.linearCarryP = (1.0 + a) * s.linearP - 1.0;
    if (k == 0.0) {
        s.inputOverK = 0.0;
        s.lowerLimit = never;
        s.upperLimit = -never;
        s.lowerTestOffset = -never;
        s.upperTestOffset = never;
        return;
    }
    s.inputOverK = gain / k;
    s.lowerLimit = -s.lowerJoint / k;
    s.upperLimit = -s.upperJoint / k;
    s.lowerTestOffset = b * (s.lowerJoint + s.linearOffset - bias);
    s.upperTestOffset = b * (s.upperJoint + s.linearOffset - bias);
    s.halfInverseK = 1.0 / (2.0 * k);
    s.negHalfInverseK = -1.0 / (2.0 * k);
    s.lowerB0 = kb * (bias + 1.0) + s.lowerDen;
    s.upperB0 = kb * (bias - 1.0) - s.upperDen;
    const double fourK = 4.0 * k;
    s.negFourKGain = -fourK * gain;
    s.lowerEP = fourK * s.lowerDen;
    s.lowerEX = fourK * b * gain * (bias + 1.0);
    s.lowerE0 = -fourK * b * (bias * s.lowerDen - s.lowerNum);
    s.upperEP = -fourK * s.upperDen;
    s.upperEX = -fourK * b * gain * (1.0 - bias);
    s.upperE0 = fourK * b * (bias * s.upperDen - s.negUpperNum);
    s.rootToCarry = (1.0 + a) / (2.0 * k);
    s.carryToRoot = 1.0 / s.rootToCarry;
    s.rootToCarrySquared = s.rootToCarry * s.rootToCarry;
    s.scaledKSquared = s.rootToCarrySquared * k * k;
    s.negTwoK = -2.0 * k;
    s.carryFromP = (1.0 - a) / 2.0;
}

void Tube::process(double* buffer, int n) {
    if (!bypass.active) return;
    bypass.senddry(buffer, n);
    fade.BeginBlock([this] { Update(); });
    fade.process(sets, buffer, n);
    bypass.process(buffer, n);
}

double Tube::Function(double x) const {
    TubeStage s;
    shapeCurve(parameters, s);
    const double y = s.curve(parameters.gain * x);
    return parameters.invert ? parameters.bias - y : y - parameters.bias;
}

void Tube::Reserve(int n) {
    bypass.Reserve(n, false);
}

TARVEX_VECTOR_CLONES void runTubePair(TubeStage& a, double* x, TubeStage& b, double* y, int n) {
    runSeriesInLanes(x, std::tie(a), y, std::tie(b), n);
}

TubeStage::Lanes::Lanes(const TubeStage& a, const TubeStage& b) : feedback(a.feedbackCopy) {
    // Member i of the lanes is {member i of a, member i of b}.
    constexpr size_t count = sizeof(TubeLoop<double>) / sizeof(double);
    static_assert(sizeof(TubeLoop<Pair>) == count * sizeof(Pair));
    double termsA[count], termsB[count];
    std::memcpy(termsA, static_cast<const TubeLoop<double>*>(&a), sizeof termsA);
    std::memcpy(termsB, static_cast<const TubeLoop<double>*>(&b), sizeof termsB);
    Pair lanes[count];
    for (size_t i = 0; i < count; ++i)
        lanes[i] = Pair{termsA[i], termsB[i]};
    std::memcpy(static_cast<TubeLoop<Pair>*>(this), lanes, sizeof lanes);
}

void TubeStage::Lanes::store(TubeStage& a, TubeStage& b) const {
    a.lp = lp[0], a.z = z[0], a.carry = carry[0];
    b.lp = lp[1], b.z = z[1], b.carry = carry[1];
    recoverState(a);
    recoverState(b);
}
