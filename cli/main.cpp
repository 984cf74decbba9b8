// tesselbox-cli: everything happens in the library, which the tests call in-process.
#include "cli/Cli.h"
#include "fileio/ReplaceFile.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    tesselbox::RemoveTemporariesOnInterrupt();  // Ctrl-C during a long write leaves nothing behind
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return tesselbox::cli::run(args, std::cout, std::cerr);
}
