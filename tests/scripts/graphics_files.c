// Bitmap and difference files from a script: gsave of a rectangle and gload
// of the file, a difference image in memory applied by dcopy, and one that
// would reach a pixel past the right edge refused with the plane untouched.
// expect: save 1 load 1 size 3 2 24 px 123456
// expect: dcopy 1 rect 1 0 3 1 px 0 aa bb 0
// expect: past 0 px 0
// result: 0
#include "../../include/natives.h"
int info[5];
int rect[4];
unsigned char image[64];
int main()
{
	int p, q, r, i;
	unsigned char *px;
	galloc(&p, 8, 8, 24);
	rect[0] = 2; rect[1] = 2; rect[2] = 5; rect[3] = 4;
	gfill(p, rect, 0x123456);
	r = gsave("graphics_files.bmp", p, rect);
	galloc(&q, 1, 1, 8);
	i = gload(q, "graphics_files.bmp");
	ginfo(q, info);
	log_out("save %d load %d size %d %d %d px %x", r, i, info[0], info[1], info[2], getpixel(q, 2, 1));
	file_delete("graphics_files.bmp");

	galloc(&p, 4, 2, 8);
	image[0] = 'D'; image[1] = 'I'; image[2] = 'F'; image[3] = 'F';
	image[12] = 8;
	image[16] = 1; image[20] = 0; image[24] = 3; image[28] = 1;
	i = 32;
	image[i++] = 1;                       // skip one pixel
	image[i++] = 0; image[i++] = 3;       // two pixels follow
	image[i++] = 0xAA; image[i++] = 0xBB;
	image[i++] = 0; image[i++] = 1;       // end of image
	for (r = 0; r < 4; r++)
		rect[r] = -1;
	r = dcopy(p, 0, 0, image, rect);
	ginfo(p, info);
	px = (unsigned char *)info[3];
	log_out("dcopy %d rect %d %d %d %d px %x %x %x %x", r, rect[0], rect[1], rect[2], rect[3], px[0], px[1],
		px[2], px[3]);
	r = dcopy(p, 2, 0, image, 0);
	log_out("past %d px %x", r, px[3]);
	return 0;
}
