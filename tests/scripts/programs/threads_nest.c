// Called by threads_call.c: calls itself until the context stack is full.
#include "../../../include/natives.h"
extern int depth;
extern int failedAt;
int main()
{
	depth++;
	if (call("programs/threads_nest.c") == 0)
		failedAt = depth;
	return 5;
}
