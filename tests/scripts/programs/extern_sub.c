/* Called by extern_call.c: the same extern variable, and a function that
   only the calling program defines. */
#include "../../../include/natives.h"
extern int shared;
int main()
{
	shared = shared + 2;
	return add_shared(0);
}
