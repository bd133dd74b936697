// Planes from a script: slots from 1023 down, the top row's address and the
// negative row step from ginfo, pixels written through that address and read
// back by getpixel, gfree(-1) keeping the pages.
// expect: slots 1023 1022
// expect: info 640 480 16 -1280
// expect: pixels ffffff ff 0
// expect: gfree 1 kept 16 gone 0
// expect: page0 640 480 24
// result: 0
#include "../../include/natives.h"
int info[5];
int main()
{
	int a, b, r, kept;
	unsigned short *row;
	galloc(&a, 16, 16, 8);
	galloc(&b, 640, 480, 16);
	log_out("slots %d %d", a, b);
	ginfo(b, info);
	log_out("info %d %d %d %d", info[0], info[1], info[2], info[4]);
	row = (unsigned short *)info[3];
	row[0] = 0x7FFF;
	row = (unsigned short *)(info[3] + info[4]);
	row[3] = 0x001F;
	log_out("pixels %x %x %x", getpixel(b, 0, 0), getpixel(b, 3, 1), getpixel(b, 1, 0));
	gattach(a, b);
	apage(a);
	r = gfree(-1);
	ginfo(a, info);
	kept = info[0];
	ginfo(b, info);
	log_out("gfree %d kept %d gone %d", r, kept, info[0]);
	ginfo(0, info);
	log_out("page0 %d %d %d", info[0], info[1], info[2]);
	return 0;
}
