// The built-in handler routines: body handlers 0-2 and the standard recognisers 10-20.
#pragma once

#include "highlight/CodeMemoParser.h"

namespace quillet {

// Runs built-in handler `number` at the cursor; the token began at `tokenStart`.
// Answers true when it recognised something; on false the cursor is where it was.
bool RunBuiltinHandler(int32_t number, TTokenCursor& cursor, size_t tokenStart);

} // namespace quillet
