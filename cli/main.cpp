#include "cli/Tool.h"

#include <iostream>

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::ios::sync_with_stdio(false);
    return quillet::cli::RunTool(args, std::cin, std::cout, std::cerr);
}
