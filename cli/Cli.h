// tesselbox-cli as a library: the whole program behind one call, so that the tests run it
// in-process with its output captured and main.cpp only forwards argv.
#pragma once

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <span>
#include <string>

namespace tesselbox::cli {

inline constexpr int EXIT_DONE = 0;
inline constexpr int EXIT_FILE_FAILED = 1;  // a file could not be read or written
inline constexpr int EXIT_USAGE = 2;

// What run needs to know about the process it runs in; tests make up their own.
struct Environment {
    // The program file, to find the color table installed beside it; empty: there is none.
    std::filesystem::path executable;
    bool errorIsTerminal = false;  // progress is shown only on a terminal
    unsigned processors = 0;       // 0: ask the system
    std::uint64_t memory = 0;      // bytes a batch may hold at once; 0: what the system has free
};

Environment ProcessEnvironment();

// Flushes out; false, with a message on err, when anything written to it was lost (a full disk,
// a closed pipe), so that a truncated listing is not taken for a complete one.
bool CheckOutput(std::ostream& out, std::ostream& err);

// args are the arguments after the program's name. Writes only what was asked for to out
// (materials, the palette) and everything else to err.
int run(std::span<const std::string> args, std::ostream& out, std::ostream& err,
        const Environment& environment);
int run(std::span<const std::string> args, std::ostream& out, std::ostream& err);

}  // namespace tesselbox::cli
