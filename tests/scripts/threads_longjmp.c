// setjmp/longjmp: a value of 0 arrives as 1; a buffer whose function has
// returned is refused; a jump out of a called program frees it and resumes
// the caller.
// expect: first 0
// expect: again 1
// expect: stale 0
// expect: back 9
// result: 0
#include "../../include/natives.h"
extern int jumpBuffer;
char buf[64];
char stale[64];
char home[64];
int n;
void mark()
{
	setjmp(stale);
}
int main()
{
	int r;
	r = setjmp(buf);
	if (n == 0) {
		log_out("first %d", r);
		n = 1;
		longjmp(buf, 0);
		log_out("not reached");
	}
	log_out("again %d", r);
	mark();
	log_out("stale %d", longjmp(stale, 7));
	r = setjmp(home);
	if (r == 0) {
		jumpBuffer = (int)home;
		call("programs/threads_jumper.c");
		log_out("not reached either");
	} else {
		log_out("back %d", r);
	}
	return 0;
}
