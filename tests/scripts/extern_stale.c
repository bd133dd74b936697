// A function of a program that is gone stays gone: once the program that
// defined it has been replaced, a call to it faults, also after its
// addresses have been handed out again and filled with other code.
// expect: reused
// status: 2
// stderr: プログラム領域をオーバーしました
#include "../../include/natives.h"
extern int twice(int v)
{
	return v * 2;
}
int main()
{
	jump("programs/extern_stale_b.c");
	return 1;
}
