// call: a called program's main result comes back to the caller; a missing
// program gives 0; the 32nd nested call fails (the thread's first context
// plus 31 called programs fill its context stack).
// expect: call 42
// expect: missing 0
// expect: nested 5 depth 31 failed at 31
// result: 7
#include "../../include/natives.h"
extern int depth;
extern int failedAt;
int main()
{
	int r;
	log_out("call %d", call("programs/threads_ret42.c"));
	log_out("missing %d", call("programs/threads_nothing.c"));
	r = call("programs/threads_nest.c");
	log_out("nested %d depth %d failed at %d", r, depth, failedAt);
	return 7;
}
