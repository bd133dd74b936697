// jump: a program that does not load gives 0 and the caller goes on; one
// that loads replaces the caller in place, so nothing after the jump runs
// and the new program's main gives the run's result. Extern variables
// declared alike are shared by both programs.
// expect: missing 0
// expect: target got 5
// result: 9
#include "../../include/natives.h"
extern int handed;
int main()
{
	log_out("missing %d", jump("programs/threads_nothing.c"));
	handed = 5;
	jump("programs/threads_jump_target.c");
	log_out("never");
	return 1;
}
