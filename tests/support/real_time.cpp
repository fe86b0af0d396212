#include "support/real_time.h"

#include "support/allocation_counter.h"

#include <algorithm>
#include <cmath>

namespace testing_support {

std::size_t allocationsAfterWarmUp(const Process& process, const std::function<void()>& change,
                                   const std::function<void()>& after) {
    std::vector<double> x(2048, 0.1);
    process(x.data(), 2048);
    const AllocationScope scope;
    if (change) change();
    for (int n : {2048, 17, 512, 1})
        process(x.data(), n);
    if (after) after();
    process(x.data(), 2048);
    return scope.count();
}

bool staysFiniteAfter(const Process& process, std::vector<double>& buffer,
                      const std::vector<double>& first, std::size_t at, double bad,
                      const std::vector<std::vector<double>>& then) {
    buffer = first;
    buffer.at(at) = bad;
    process(buffer.data(), static_cast<int>(buffer.size()));
    for (const std::vector<double>& block : then) {
        buffer = block;
        process(buffer.data(), static_cast<int>(buffer.size()));
    }
    return std::all_of(buffer.begin(), buffer.end(), [](double v) { return std::isfinite(v); });
}

} // namespace testing_support
