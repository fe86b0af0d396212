// What the RTAS build of the effect has of its own: it starts its work
// buffers small, and its first block grows them. It has no bypass of its own
// (the host's master bypass control does that).
#include "source/effect.h"

const int Effect::kInitialBufferSize = 1;
