// Counts heap allocations and releases made by the calling thread. The test
// programs replace the global operator new and delete and, outside the
// sanitizer builds, the C allocation functions (malloc, calloc, realloc, free
// and the aligned forms), so calls made inside C libraries and inside loaded
// plug-in modules count too; the sanitizer builds count those through the
// sanitizer's allocation hooks.
#pragma once

#include <cstddef>

namespace testing_support {

// Allocations by this thread since it started.
std::size_t allocationCount();
// Releases (free or delete of a non-null pointer) by this thread since it
// started.
std::size_t releaseCount();

// Counts allocations inside a scope: AllocationScope s; ...; s.count()
class AllocationScope {
public:
    AllocationScope() : start(allocationCount()), releaseStart(releaseCount()) {}
    std::size_t count() const { return allocationCount() - start; }
    std::size_t releases() const { return releaseCount() - releaseStart; }

private:
    std::size_t start;
    std::size_t releaseStart;
};

} // namespace testing_support
