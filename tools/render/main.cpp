#include "render/rendercommand.h"

#include <iostream>
#include <unistd.h>

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    // Progress lines only for a person watching a terminal.
    std::ostream* progress = isatty(STDERR_FILENO) != 0 ? &std::cerr : nullptr;
    return runRenderCommand(args, std::cerr, progress);
}
