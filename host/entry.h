// The process entry: command line, start-up sequence, message loop, exit.
#pragma once

namespace qavz {

int RunProcess(int argc, char** argv);

}  // namespace qavz
