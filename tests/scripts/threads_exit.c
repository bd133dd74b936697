// exit in a started thread closes the application: main never logs again.
// expect: before
#include "../../include/natives.h"
void quit(int arg)
{
	exit();
}
int main()
{
	log_out("before");
	thd_begin(quit, 0, 0, 0);
	while (1)
		sleep(1);
	return 0;
}
