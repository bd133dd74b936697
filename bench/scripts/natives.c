#include "../../include/natives.h"
/* Natives: strlen and rand called 1,000,000 times each. */
char *text = "forty bytes of text to measure, no more!";
int main()
{
	int i, s;
	srand(1);
	s = 0;
	for (i = 0; i < 1000000; i++)
		s += strlen(text) + (rand() & 7);
	return s;
}
