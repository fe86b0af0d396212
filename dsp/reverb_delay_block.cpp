#include "dsp/reverb_delay_block.h"

#include <algorithm>

ReverbDelayBlock::ReverbDelayBlock() {
    resize(1);
}

ReverbDelayBlock::~ReverbDelayBlock() {
    delete[] buffer;
}

void ReverbDelayBlock::resize(int n) {
    n = std::max(n, 1);
    double* fresh = new double[static_cast<unsigned>(n)]();
    delete[] buffer;
    buffer = fresh;
    size = n;
    position = 0;
}

void ReverbDelayBlock::clear_buffer() {
    std::fill(buffer, buffer + size, 0.0);
    position = 0;
    lastOutput = 0.0;
    state = 0.0;
}

double ReverbDelayBlock::gettap(int n) const {
    // Wrapped like adding size until no longer negative, for any n.
    int index = (position - n % size) % size;
    if (index < 0) index += size;
    return buffer[index];
}
