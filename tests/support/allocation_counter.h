// Counts heap allocations made by the calling thread. The test programs
// replace the global operator new and, outside the sanitizer builds, the C
// allocation functions (malloc, calloc, realloc and the aligned forms), so
// allocations made inside C libraries count too.
#pragma once

#include <cstddef>

namespace testing_support {

// Allocations by this thread since it started.
std::size_t allocationCount();

// Counts allocations inside a scope: AllocationScope s; ...; s.count()
class AllocationScope {
public:
    AllocationScope() : start(allocationCount()) {}
    std::size_t count() const { return allocationCount() - start; }

private:
    std::size_t start;
};

} // namespace testing_support
