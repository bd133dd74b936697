/* Started by extern_stale.c through jump, which freed the program that
   defined twice(). Gets twice's old addresses back as heap memory, writes
   "movl r0, $99; ret" there, and calls twice. */
#include "../../../include/natives.h"
int main()
{
	int target, i, block, found;
	int big[40];
	char *p;
	target = twice;
	for (i = 0; i < 40; i++)
		big[i] = malloc(4194304);
	for (i = 0; i < 40; i++)
		free(big[i]);
	found = 0;
	for (i = 0; i < 4096 && !found; i++) {
		block = malloc(4096);
		if (block <= target && target < block + 4096)
			found = block;
	}
	if (found)
		log_out("reused");
	p = target;
	p[0] = 4;
	p[1] = 0;
	p[2] = 99;
	p[3] = 0;
	p[4] = 0;
	p[5] = 0;
	p[6] = 38;
	log_out("called %d", twice(1));
	return 0;
}
