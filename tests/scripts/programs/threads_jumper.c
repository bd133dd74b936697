// Called by threads_longjmp.c: jumps back into its caller with 9.
#include "../../../include/natives.h"
extern int jumpBuffer;
int main()
{
	longjmp((void *)jumpBuffer, 9);
	return 1;
}
