// A synthesized plucked bass line: a fixed, repeatable test signal.
#pragma once

#include <vector>

namespace testing_support {

// Eight plucked notes per two seconds (E1 .. E2 range), each a decaying
// harmonic series with a short attack; peaks stay below about 0.6.
std::vector<double> bassLine(double fs, double seconds);

} // namespace testing_support
