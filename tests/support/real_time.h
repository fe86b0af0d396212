// Checks every signal block must pass on the audio path: nothing allocated
// once warmed up, and one bad sample poisoning nothing after it.
#pragma once

#include "support/signals.h"

#include <cstddef>
#include <functional>
#include <vector>

namespace testing_support {

// Heap allocations made after one warm-up block of 2048 samples: `change` is
// called, blocks of the sizes hosts use follow (2048, 17, 512 and 1 samples),
// then `after` (switching the block off, say) and one more block of 2048.
std::size_t allocationsAfterWarmUp(const Process& process, const std::function<void()>& change,
                                   const std::function<void()>& after = {});

// Plays `first` with its sample `at` replaced by `bad`, then each block of
// `then` in turn, all in `buffer` (which allocates nothing when it holds the
// longest block already); true when the last one came out finite throughout.
bool staysFiniteAfter(const Process& process, std::vector<double>& buffer,
                      const std::vector<double>& first, std::size_t at, double bad,
                      const std::vector<std::vector<double>>& then);

} // namespace testing_support
