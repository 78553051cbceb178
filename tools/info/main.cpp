#include "info/infocommand.h"

#include <cstdio>
#include <iostream>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

// Progress lines only for a person watching a terminal.
bool errorsGoToTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

} // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int status =
        runInfoCommand(args, std::cout, std::cerr, errorsGoToTerminal() ? &std::cerr : nullptr);
    std::cout.flush();
    return status;
}
