// Process entry. The command line and the start-up sequence live in host/.
#include "host/entry.h"

int main(int argc, char** argv) { return qavz::RunProcess(argc, argv); }
