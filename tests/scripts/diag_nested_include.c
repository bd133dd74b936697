// An error in line 12 of a file included two levels deep names that file
// and its own line, then shows the line and a caret.
// status: 1
// error: include/level2.h(12) 9
// stderr-line: int broken = (1 + )
// stderr-line:                    ^
#include "include/level1.h"
int main()
{
	return 0;
}
