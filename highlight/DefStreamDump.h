// A readable listing of a definition's settings and tables (quillet-tool dump).
#pragma once

#include "highlight/CodeMemoParser.h"

#include <ostream>
#include <string>

namespace quillet {

// Groups are shown by their members, so two definitions with the same tables list the
// same text whatever order their groups were stored in.
void DumpDefinition(const TCodeMemoParser& def, std::ostream& out);
std::string DumpDefinition(const TCodeMemoParser& def);

} // namespace quillet
