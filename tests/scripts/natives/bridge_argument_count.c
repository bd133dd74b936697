// The native bridge in debug mode checks argument counts: exit() pushes
// nothing and passes, a call of sleep without its argument is reported by
// name and stops the script threads (run status 2).
// config: [General]
// config: DebugMode=1
// config: Error=1
// expect: counted 3
// stderr: sleep -
// status: 2
#include "natives.h"
int main()
{
	char buf[8];
	log_out("counted %d", strcut(buf, "abc", 0, 3) == buf ? strlen(buf) : -1);
	sleep();
	log_out("never");
	return 0;
}
