// Types and layout: sizes without alignment, member offsets, widths.
// expect: 4 4 5 6 4
// expect: 0 1 5 7
// expect: 44 200 65535 -1
// expect: -56 200
// expect: 9127
// result: 0
#include "../../include/natives.h"
struct Mix { char c; long l; };
union Both { char c; short s[3]; };
struct Rec { char tag; int value; short small; struct Rec *next; };
struct Rec rec;
int x = 9;
struct P { int x; int y; } p;
int main()
{
	char c;
	unsigned char uc;
	unsigned short us;
	short s;
	log_out("%d %d %d %d %d", sizeof(void), sizeof(int), sizeof(struct Mix), sizeof(union Both), sizeof(char *));
	log_out("%d %d %d %d", (char *)&rec.tag - (char *)&rec, (char *)&rec.value - (char *)&rec,
		(char *)&rec.small - (char *)&rec, (char *)&rec.next - (char *)&rec);
	int n;
	c = 300; uc = 200; us = -1; s = 65535;
	log_out("%d %d %d %d", c, uc, us, s);
	n = (c = 200);   // the store is one byte; the value is the full one
	log_out("%d %d", c, n);
	p.x = 1; p.y = 27;
	log_out("%d", x * 1000 + p.x * 100 + p.y);
	return 0;
}
