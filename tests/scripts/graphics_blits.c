// Blits from a script, read back through the pixel address: gcopy past the
// left edge, a mirrored and a turned gblit, a blend through the parameter
// record, a mode without a loop and a refused channel mask.
// expect: gcopy 1: 3 9 0
// expect: mirror 1: 9 0
// expect: turn 1: 12 11 10 2 1 0
// expect: blend 1: 80
// expect: mode9 1 unchanged 1
// expect: mode22 0
// result: 0
#include "../../include/natives.h"
int info[5];
int rect[4];
int params[3];

// Pixel (x, y) of the plane last given to ginfo, colour bytes only.
int at(int x, int y)
{
	int *row;
	row = (int *)(info[3] + y * info[4]);
	return row[x] & 0xFFFFFF;
}

int main()
{
	int s, d, e, x, y, r;
	unsigned char *b;
	galloc(&s, 10, 2, 32);
	ginfo(s, info);
	for (y = 0; y < 2; y++)
		for (x = 0; x < 10; x++)
			((int *)(info[3] + y * info[4]))[x] = x + 10 * y;
	galloc(&d, 10, 2, 32);

	r = gcopy(d, -3, 0, s, 0, 0);
	ginfo(d, info);
	log_out("gcopy %d: %d %d %d", r, at(0, 0), at(6, 0), at(7, 0));

	rect[0] = 10; rect[1] = 0; rect[2] = 0; rect[3] = 2;
	r = gblit(d, rect, s, 0, 0, 0);
	log_out("mirror %d: %d %d", r, at(0, 0), at(9, 0));

	rect[0] = 0; rect[1] = 0; rect[2] = 3; rect[3] = 2;
	r = gblit(d, rect, s, rect, 0, 1024);
	log_out("turn %d: %d %d %d %d %d %d", r, at(0, 0), at(1, 0), at(2, 0), at(0, 1), at(1, 1), at(2, 1));

	// Mode 3, alpha 128: white over black is T[128][255] = 128.
	gfill(d, 0, 0);
	gfill(s, 0, 0xFFFFFF);
	b = (unsigned char *)params;
	b[0] = 3;
	b[2] = 128;
	r = gblit(d, 0, s, 0, params, 0);
	log_out("blend %d: %x", r, at(4, 1) & 0xFF);

	galloc(&e, 10, 2, 8);
	gfill(e, 0, 0x1000005);
	b[0] = 9;
	r = gblit(d, 0, e, 0, params, 0);
	log_out("mode9 %d unchanged %d", r, at(4, 1) == 0x808080);

	b[0] = 22;
	b[1] = 0;
	log_out("mode22 %d", gcopy(d, 0, 0, s, 0, params));
	return 0;
}
