#pragma once

#include <ostream>
#include <string>
#include <vector>

// Runs one kestrin-info command (args without the program name): JSON on out; on failure the
// error report on err and 1; a usage text on err and 2 when the command line is wrong. progress,
// when set, gets a line that follows a long check.
int runInfoCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   std::ostream* progress = nullptr);
