#include "dsp/graphic_eq12_bass.h"

namespace {
constexpr double centreFrequencies[12] = {30.0,  40.0,   60.0,   100.0,  180.0,   340.0,
                                          660.0, 1300.0, 2600.0, 5000.0, 10000.0, 15000.0};
constexpr double bandQ = 0.5;
} // namespace

GraphicEQ12Bass::GraphicEQ12Bass() {
    SetFs(44100.0);
    for (int k = 0; k < stageCount; ++k) {
        const bool level = k == stageCount - 1;
        const FilterParameters p{true, level ? FilterType::Gain : FilterType::Peak,
                                 level ? 15000.0 : centreFrequencies[k], bandQ, 0.0};
        stages[k].left.SetParameters(p);
        stages[k].right.SetParameters(p);
    }
    // Values the first SetParameters is certain to replace, so that it stores
    // every field: on, every stage at 0 dB.
    for (double& v : values)
        v = -1.0;
    enabled = false;
    SetParameters({true, {}});
}

void GraphicEQ12Bass::SetParameter(int index, double value) {
    if (index == kOn) {
        const bool on = readSwitch(value);
        if (on == enabled) return;
        enabled = on;
        bypass.SetState(on ? 1.0 : 0.0);
        return;
    }
    if (index < kFirstBand || index > kLevel) return;
    double& stored = values[index - kFirstBand];
    if (value == stored) return;
    Stage& stage = stages[index - kFirstBand];
    stage.left.SetParameter(Filter::kGain, value);
    // Any level is taken except what the filter itself refuses (NaN, infinite
    // or beyond its range), so the stored value always matches the filters.
    if (stage.left.GetParameter(Filter::kGain) != value) return;
    stored = value;
    stage.right.SetParameter(Filter::kGain, value);
}

double GraphicEQ12Bass::GetParameter(int index) const {
    if (index == kOn) return enabled ? 1.0 : 0.0;
    if (index >= kFirstBand && index <= kLevel) return values[index - kFirstBand];
    return 0.0;
}

void GraphicEQ12Bass::SetParameters(GraphicEQ12BassParameters p) {
    SetParameter(kOn, p.enabled ? 1.0 : 0.0);
    for (int k = 0; k < stageCount; ++k)
        SetParameter(kFirstBand + k, p.values[k]);
}

GraphicEQ12BassParameters GraphicEQ12Bass::GetParameters() const {
    GraphicEQ12BassParameters p{enabled, {}};
    for (int k = 0; k < stageCount; ++k)
        p.values[k] = values[k];
    return p;
}

void GraphicEQ12Bass::SetFs(double rate) {
    if (!isNewRate(rate, fs)) return;
    for (Stage& stage : stages) {
        stage.left.SetFs(rate);
        stage.right.SetFs(rate);
    }
    bypass.SetFs(rate);
    fs = rate;
}

void GraphicEQ12Bass::process(double* x, int n) {
    if (!bypass.active) return;
    bypass.senddry(x, n);
    Filter* chain[stageCount];
    for (int k = 0; k < stageCount; ++k)
        chain[k] = &stages[k].left;
    processChain(chain, stageCount, x, n);
    bypass.process(x, n);
}

bool GraphicEQ12Bass::AppendSeries(Filter** chain, int& count) {
    if (!bypass.active) return true;
    if (!bypass.SettledOn()) return false;
    for (Stage& stage : stages)
        chain[count++] = &stage.left;
    return true;
}

void GraphicEQ12Bass::process(double* left, double* right, int n) {
    if (!bypass.active) return;
    bypass.senddry(left, right, n);
    for (Stage& stage : stages) {
        stage.left.process(left, n);
        stage.right.process(right, n);
    }
    bypass.process(left, right, n);
}

void GraphicEQ12Bass::Reserve(int n) {
    bypass.Reserve(n, false);
    for (Stage& stage : stages)
        stage.left.Reserve(n);
}
