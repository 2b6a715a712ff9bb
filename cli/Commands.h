// The bodies of quillet-tool's commands, one file each (cli/Cmd*.cpp).
#pragma once

#include "cli/Tool.h"

namespace quillet::cli {

#define QCOMMAND(name, usage, fn)                                                             \
    int fn(const std::vector<std::string>& args, std::istream& in, std::ostream& out,         \
           std::ostream& err);
#include "cli/Commands.inc"
#undef QCOMMAND

} // namespace quillet::cli
