// quillet-defc: the build's host tool; compiles one language script as `quillet-tool compile`.
#include "cli/Commands.h"
#include "platform/Errors.h"

#include <iostream>

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        return quillet::cli::CmdCompile(args, std::cin, std::cout, std::cerr);
    } catch (const quillet::EQuilletError& e) {
        std::cerr << "quillet-defc: " << e.what() << "\n";
        return quillet::cli::exError;
    }
}
