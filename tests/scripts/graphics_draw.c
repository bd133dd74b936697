// Drawing from a script, read back through the pixel address: a white fill
// of a 32-bit plane leaves alpha 0, a line clipped at the left edge, the
// clip rectangle, and the HSV conversions.
// expect: fill ff ff ff 0
// expect: line 1 row 5: 0..5 count 6
// expect: clip 1 filled 4
// expect: hsv ffff 2aaffff ff0000 ff00
// result: 0
#include "../../include/natives.h"
int info[5];
int rect[4];
int main()
{
	int p, x, y, first, last, count;
	unsigned char *px;
	galloc(&p, 4, 4, 32);
	gfill(p, 0, 0xFFFFFF);
	ginfo(p, info);
	px = (unsigned char *)info[3];
	log_out("fill %x %x %x %x", px[0], px[1], px[2], px[3]);

	galloc(&p, 10, 10, 8);
	x = gline(p, -10, 5, 5, 5, 0x1000007);
	ginfo(p, info);
	px = (unsigned char *)(info[3] + 5 * info[4]);
	first = -1;
	count = 0;
	for (y = 0; y < 10; y++)
		if (px[y] == 7) {
			if (first < 0)
				first = y;
			last = y;
			count++;
		}
	log_out("line %d row 5: %d..%d count %d", x, first, last, count);

	rect[0] = 8; rect[1] = 0; rect[2] = 2; rect[3] = 3;
	gclip(p, rect);
	rect[0] = 0; rect[1] = 1; rect[2] = 4; rect[3] = 20;
	x = gfill(p, rect, 0x1000009);
	count = 0;
	for (y = 0; y < 10; y++) {
		px = (unsigned char *)(info[3] + y * info[4]);
		for (first = 0; first < 10; first++)
			count += px[first] == 9;
	}
	log_out("clip %d filled %d", x, count);
	log_out("hsv %x %x %x %x", rgbtohsv(0xFF0000), rgbtohsv(0x00FF00), hsvtorgb(0xFFFF), hsvtorgb(0x2AAFFFF));
	return 0;
}
