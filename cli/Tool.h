// quillet-tool: the command-line face of the libraries.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace quillet::cli {

// Exit codes: 0 success, 1 not found / no match, 2 error.
enum TExitCode : int { exOk = 0, exNotFound = 1, exError = 2 };

// Runs one command line (without the program name). Results go to out,
// errors to err as "quillet-tool: MESSAGE".
int RunTool(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
            std::ostream& err);

// An error text as one line: each run of CR and LF becomes one blank.
std::string OneLine(const std::string& text);

// The most a command reads of a script or text from a file or standard input: more is no
// input of ours (a pipe that never ends, /dev/zero) and is refused before it fills the memory.
constexpr int64_t MaxInputSize = int64_t(64) << 20;

// The rest of `in`; past MaxInputSize raises "Cannot read 'NAME': File too large".
std::string ReadInput(std::istream& in, const std::string& name);
// A whole file the same way; a folder or a file that cannot be opened raises "Cannot read"
// with its cause.
std::string ReadInputFile(const std::string& path);

// A command's body; thrown EQuilletError texts become "quillet-tool: TEXT", exit 2.
using TCommandFn = int (*)(const std::vector<std::string>& args, std::istream& in,
                           std::ostream& out, std::ostream& err);

struct TCommand {
    const char* Name;
    const char* Usage;
    TCommandFn Run;
};

// The table of commands, in the order the usage text lists them.
const std::vector<TCommand>& Commands();

} // namespace quillet::cli
