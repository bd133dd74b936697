// Authors' tools on the command line:
//   qavz pack [--follow] [--names utf8|cp932] DIR   writes DIR.bin from the files under DIR
//   qavz unpack [--names utf8|cp932] FILE.bin [DIR] writes the members under DIR
//                                  (FILE without .bin); --names utf8: names on disk
//                                  are UTF-8, code page 932 in the archive
//   qavz compress IN OUT       writes OUT as a compressed data file
//   qavz expand IN OUT         writes the expanded bytes of a compressed file
#pragma once

namespace qavz {

// argv[0] is the verb. Returns the process exit status: 0 done, 1 failed
// (a message on standard error), 2 usage.
int RunArchiveTool(int argc, char** argv);

}  // namespace qavz
