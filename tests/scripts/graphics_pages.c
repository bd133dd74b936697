// Pages and palettes from a script: vpage and apage bounds, pal_sets stopping
// at entry 255, pal_load, and the dirty-rectangle list (2048 entries, two
// overlapping rectangles copied once from an 8-bit plane into a 32-bit one).
// expect: vpage 0 0 1 apage 0
// expect: pal 1 f9 100 105 0
// expect: load 2 ff 0
// expect: drt 1 0 1
// expect: copied 1 row1 1 2 2 0 row0 0
// result: 0
#include "../../include/natives.h"
int values[10];
int rect[4];
int info[5];
int main()
{
	int i, s, d, r;
	unsigned char *px;
	galloc(&s, 8, 8, 8);
	// Arguments are evaluated from the last, so each call gets its own line.
	values[0] = vpage(1024);
	values[1] = vpage(5);
	values[2] = vpage(s);
	log_out("vpage %d %d %d apage %d", values[0], values[1], values[2], apage(-1));
	vpage(0);
	for (i = 0; i < 10; i++)
		values[i] = 0x100 + i;
	pal_set(249, 0xF9);
	r = pal_sets(250, 10, values);
	log_out("pal %d %x %x %x %d", r, pal_get(249), pal_get(250), pal_get(255), pal_get(256));
	r = pal_load(s, 254, 3, 5);
	log_out("load %d %x %d", r, pal_get(254), pal_load(s, 0, 256, 1));

	drt_init();
	rect[0] = 0; rect[1] = 0; rect[2] = 1; rect[3] = 1;
	for (i = 0; i < 2047; i++)
		drt_set(rect);
	r = drt_set(rect);
	i = drt_set(rect);
	log_out("drt %d %d %d", r, i, drt_init());
	galloc(&d, 8, 8, 32);
	gfill(s, 0, 0x10000E0);  // pure red in the 3-3-2 table
	rect[0] = 1; rect[1] = 1; rect[2] = 3; rect[3] = 3;
	drt_set(rect);
	rect[0] = 2; rect[1] = 0; rect[2] = 4; rect[3] = 2;
	drt_set(rect);
	r = drt_copy(d, 0, 0, s, 0);
	ginfo(d, info);
	px = (unsigned char *)(info[3] + info[4]);
	log_out("copied %d row1 %d %d %d %d row0 %d", r, px[4 * 1 + 2] == 255, (px[4 * 2 + 2] == 255) * 2,
		(px[4 * 3 + 2] == 255) * 2, px[4 * 4 + 2], ((unsigned char *)info[3])[2]);
	return 0;
}
