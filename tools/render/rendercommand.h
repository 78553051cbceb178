#pragma once

#include <ostream>
#include <string>
#include <vector>

// Runs one kestrin-render command (args without the program name): renders models with the
// Engine, drawing off screen (the native renderer on Linux, Direct3D 9 on Windows), and writes
// PNG files. On failure the error report (or a one-line reason) on err and 1; a usage text on err
// and 2 when the command line is wrong. progress, when set, gets a line per model of a batch.
int runRenderCommand(const std::vector<std::string>& args, std::ostream& err, std::ostream* progress);
