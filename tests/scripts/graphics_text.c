// Text from a script: the 44-byte description with its default face, slot
// limits, the current slot per thread (a new thread starts on slot 0),
// gtext's results, gtextf, and smooth text written as alpha, read back
// through the pixel address.
// expect: default 16 0 0 82 6c 4e 0
// expect: set 0 0 1 get 1 20 80
// expect: use 1 slot 32 draw 0
// expect: worker draw 1 main draw 0
// expect: missing 0 0 empty 1
// expect: plain 1 colours 2
// expect: alpha 1 full yes partial yes
// expect: format 1 same yes
// result: 0
#include "../../include/natives.h"
char desc[44];
char mine[44];
int info[5];
int drawn;
void worker(int plane)
{
	drawn = 10 + gtext(plane, 0, 0, 0xFF, "A");
}
int count(int plane, int value, int bytes)
{
	int x, y, n, i, v;
	unsigned char *row;
	ginfo(plane, info);
	n = 0;
	for (y = 0; y < info[1]; y++) {
		row = (unsigned char *)(info[3] + y * info[4]);
		for (x = 0; x < info[0]; x++) {
			v = 0;
			for (i = 0; i < bytes; i++)
				v = v | (row[x * bytes + i] << (i * 8));
			n += v == value;
		}
	}
	return n;
}
int main()
{
	int p, q, t, full, partial, x, y, a;
	unsigned char *row;
	font_get(0, desc);
	log_out("default %d %d %d %x %x %x %x", *(int *)(desc + 32), *(int *)(desc + 36), desc[40],
		desc[0] & 255, desc[1] & 255, desc[12] & 255, desc[13]);
	mine[0] = 'X';
	*(int *)(mine + 32) = 20;
	mine[40] = 16;
	mine[42] = 0x80;
	font_set(1, mine);
	font_get(1, desc);
	log_out("set %d %d %d get %d %d %x", font_set(32, mine), font_set(1, 0), font_set(31, mine), desc[0] == 'X',
		*(int *)(desc + 32), desc[42] & 255);

	galloc(&p, 80, 20, 8);
	x = font_use(0x120);
	log_out("use %d slot 32 draw %d", x, gtext(p, 0, 0, 0xFF, "A"));
	t = thd_begin(worker, p, 0, 0);
	for (y = 0; y < 500 && !drawn; y++)
		sleep(10);
	log_out("worker draw %d main draw %d", drawn - 10, gtext(p, 0, 0, 0xFF, "A"));

	font_use(0);
	log_out("missing %d %d empty %d", gtext(1024, 0, 0, 0xFF, "A"), gtext(p, 0, 0, 0xFF, 0), gtext(p, 0, 0, 0xFF, ""));
	gfill(p, 0, 0x1000003);
	x = gtext(p, 2, 2, 0x40000000 | 0x900 | 7, "Text");
	log_out("plain %d colours %d", x, (count(p, 3, 1) + count(p, 7, 1) + count(p, 9, 1) == 1600) + (count(p, 7, 1) > 10));

	galloc(&q, 80, 40, 32);
	font_get(0, desc);
	*(int *)(desc + 32) = 24;
	desc[40] = 16;
	font_set(2, desc);
	font_use(2);
	x = gtext(q, 1, 1, 0x800000FF, "Ag");
	full = 0;
	partial = 0;
	ginfo(q, info);
	for (y = 0; y < 40; y++) {
		row = (unsigned char *)(info[3] + y * info[4]);
		for (a = 3; a < 320; a += 4) {
			full += row[a] == 255;
			partial += row[a] > 0 && row[a] < 255;
		}
	}
	log_out("alpha %d full %s partial %s", x, full > 10 ? "yes" : "no", partial > 10 ? "yes" : "no");

	font_use(0);
	gfill(p, 0, 0x1000000);
	gtextf(p, 0, 0, 0xFF, "%d-%s", 42, "ok");
	x = count(p, 255, 1);
	gfill(p, 0, 0x1000000);
	y = gtext(p, 0, 0, 0xFF, "42-ok");
	log_out("format %d same %s", y, x == count(p, 255, 1) && x > 10 ? "yes" : "no");
	return 0;
}
