// A native index past the table (a 262nd trap line) is refused: the call is
// reported with its number and stops the script threads (run status 2).
// config: [General]
// config: Error=1
// expect: before
// stderr: #261
// status: 2
#include "natives.h"
#trap int beyond();
int main()
{
	log_out("before");
	beyond();
	log_out("never");
	return 0;
}
