// Counts the bytes requested through operator new in the test program, so a
// test can show that some work allocates nothing in proportion to its input.
#pragma once

#include <cstdint>

namespace testutil {

std::uint64_t allocatedBytes();

} // namespace testutil
