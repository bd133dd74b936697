// Started by threads_jump.c through jump: shows what it was handed.
#include "../../../include/natives.h"
extern int handed;
int main()
{
	log_out("target got %d", handed);
	return 9;
}
