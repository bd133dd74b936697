// Extern data and functions across a program started with `call`: both
// programs declare the same extern variable; the called one calls a
// function that this program defined `extern`.
// expect: sub returned 42
// expect: shared now 42
// result: 42
#include "../../include/natives.h"
extern int shared;
extern int add_shared(int v)
{
	return v + shared;
}
int main()
{
	int r;
	shared = 40;
	r = call("programs/extern_sub.c");
	log_out("sub returned %d", r);
	log_out("shared now %d", shared);
	return r;
}
