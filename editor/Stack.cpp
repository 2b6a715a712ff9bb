#include "editor/Stack.h"

#include "resources/Strings.h"

namespace quillet {

void RaiseStackUnderflow() {
    throw EStackError(LoadStr(SStackUnderflow));
}

} // namespace quillet
