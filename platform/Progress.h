// The progress report of a long operation (a search through a large text).
#pragma once

#include <cstdint>
#include <functional>

namespace quillet {

// Called now and then with the work done and the whole of it; answering false asks the
// operation to stop where it is. An empty function costs nothing and never stops anything.
using TProgressFunc = std::function<bool(int64_t done, int64_t total)>;

} // namespace quillet
