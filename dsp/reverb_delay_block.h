// ReverbDelayBlock: one delay-line element of the reverb, a ring buffer with a
// gain g, a damping d and a one-pole state, processed one sample at a time as
// one of several classic structures (plain delay, all-pass, feed-forward and
// feedback combs, lowpass-feedback comb, one-pole lowpass, and the reverb's
// all-pass approximation y = b - x, entry = g b + x).
//
// Every variant reads the entry at the position before overwriting it, so the
// ring delays by exactly `size` samples. Only resize() allocates.
#pragma once

#include "dsp/block.h"

class ReverbDelayBlock {
public:
    ReverbDelayBlock();
    ~ReverbDelayBlock();
    ReverbDelayBlock(const ReverbDelayBlock&) = delete;
    ReverbDelayBlock& operator=(const ReverbDelayBlock&) = delete;

    // A new zeroed buffer of n entries (n below 1 is taken as 1), position 0;
    // the one-pole state and the last output stay.
    void resize(int n);
    // Zeroes the entries, the position, the one-pole state and the last output.
    void clear_buffer();
    void setg(double gain) { g = gain; }
    void setd(double damping) {
        d = damping;
        oneMinusD = 1.0 - damping;
    }

    void setup_DLY(int n) { resize(n); }
    void setup_AP(double gain, int n) { setupWithGain(gain, n); }
    void setup_FFCF(double gain, int n) { setupWithGain(gain, n); }
    void setup_FBCF(double gain, int n) { setupWithGain(gain, n); }
    void setup_FBCF2(double gain, int n) { setupWithGain(gain, n); }
    void setup_FBFFCF(double gain, int n) { setupWithGain(gain, n); }
    void setup_LBCF(double gain, double damping, int n) {
        g = gain;
        setd(damping);
        resize(n);
    }
    void setup_OPLP(double damping) { setd(damping); }

    // The entry n places behind the position: the input of n samples ago for
    // 1 <= n <= size; n = 0 (or size) gives the oldest entry.
    double gettap(int n) const;
    double getout() const { return lastOutput; }
    double getsize() const { return size; }

    // Plain delay.
    double process_DLY(double x) {
        const double b = buffer[position];
        buffer[position] = x;
        advance();
        return lastOutput = b;
    }
    // All-pass: v = g b + x, y = b - g v.
    double process_AP(double x) {
        const double b = buffer[position];
        const double v = flush(g * b + x);
        buffer[position] = v;
        advance();
        return lastOutput = b - g * v;
    }
    // Feed-forward comb: y = g x + b.
    double process_FFCF(double x) {
        const double b = buffer[position];
        buffer[position] = x;
        advance();
        return lastOutput = g * x + b;
    }
    // Feedback comb with undelayed output: y = v = g b + x.
    double process_FBCF(double x) {
        const double v = flush(g * buffer[position] + x);
        buffer[position] = v;
        advance();
        return lastOutput = v;
    }
    // Feedback comb with delayed output: y = b.
    double process_FBCF2(double x) {
        const double b = buffer[position];
        buffer[position] = flush(g * b + x);
        advance();
        return lastOutput = b;
    }
    // Lowpass-feedback comb: a one-pole lowpass in the feedback path.
    double process_LBCF(double x) {
        const double b = buffer[position];
        state = flush(d * state + oneMinusD * b);
        buffer[position] = g * state + x;
        advance();
        return lastOutput = b;
    }
    // One-pole lowpass; the buffer is not used.
    double process_OPLP(double x) {
        state = flush(d * state + oneMinusD * x);
        return lastOutput = state;
    }
    // The reverb's all-pass: y = b - x, entry = g b + x.
    double process_FBFFCF(double x) {
        const double b = buffer[position];
        buffer[position] = flush(g * b + x);
        advance();
        return lastOutput = b - x;
    }

    double* buffer = nullptr;
    int size = 0;
    int position = 0; // the entry the next sample reads and then overwrites
    double g = 0.0;
    double d = 0.0;
    double oneMinusD = 1.0;
    double state = 0.0; // one-pole state
    double lastOutput = 0.0;

private:
    void setupWithGain(double gain, int n) {
        g = gain;
        resize(n);
    }
    void advance() {
        if (++position == size) position = 0;
    }
};
