// A division by zero in a started thread stops every thread: main's loop
// never logs "after".
// expect: before
// status: 2
#include "../../include/natives.h"
int zero;
void divide(int arg)
{
	sleep(20);
	arg = arg / zero;
}
int main()
{
	int i;
	log_out("before");
	thd_begin(divide, 5, 0, 0);
	for (i = 0; i < 1000; i++)
		sleep(1);
	log_out("after");
	return 0;
}
