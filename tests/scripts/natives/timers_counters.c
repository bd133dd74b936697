// Time: the 256 millisecond marks of getcount and setcount, sleep, the local
// date of gettime and the frame-rate counter of fps. Bounds are coarse: a
// loaded machine may run late, never early.
// expect: timers_counters: 27 checks, 0 failed
// result: 0
#include "natives.h"
#include "check.h"

// in [low, high]
int within(char *what, int v, int low, int high)
{
	checks++;
	if (v >= low && v <= high)
		return 1;
	log_out("FAIL %s: %d, want %d to %d", what, v, low, high);
	return fail();
}

int marks()
{
	int a, b, t0;
	eq("setcount", setcount(0, 1000), 1);
	within("getcount after setcount", getcount(0), 1000, 6000);
	eq("setcount 256", setcount(256, 5), 0);
	eq("setcount -1", setcount(-1, 5), 0);
	eq("getcount 256", getcount(256), 0);
	eq("getcount -1", getcount(-1), 0);
	setcount(255, -500);
	within("negative value", getcount(255), -500, 4500);
	setcount(2, 50000);
	setcount(3, -50000);
	within("marks apart", getcount(2) - getcount(3), 95000, 105000);
	// a mark never set counts from 0, so it moves with the time base
	t0 = getcount(200);
	setcount(1, 0);
	eq("sleep", sleep(200), 1);
	a = getcount(1);
	within("sleep 200", a, 198, 10200);
	within("unset mark moves", getcount(200) - t0, 198, 10200);
	b = getcount(1);
	within("never backwards", b - a, 0, 10000);
	eq("sleep 0", sleep(0), 1);
	eq("sleep negative", sleep(-5), 1);
	return 0;
}

int day_of_week(int y, int m, int d)
{
	int offsets[12] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
	if (m < 3)
		y--;
	return (y + y / 4 - y / 100 + y / 400 + offsets[m - 1] + d) % 7;
}

int ms_of_day(unsigned short *t)
{
	return ((t[4] * 60 + t[5]) * 60 + t[6]) * 1000 + t[7];
}

int dates()
{
	unsigned short t[8], u[8];
	int n;
	for (n = 0; n < 8; n++)
		t[n] = 65535;
	eq("gettime", gettime(t), 1);
	within("year", t[0], 2020, 2200);
	within("month", t[1], 1, 12);
	within("day", t[3], 1, 31);
	eq("day of week", t[2], day_of_week(t[0], t[1], t[3]));
	within("hour", t[4], 0, 23);
	within("minute", t[5], 0, 59);
	within("second", t[6], 0, 60);
	within("millisecond", t[7], 0, 999);
	sleep(1100);
	gettime(u);
	n = ms_of_day(u) - ms_of_day(t);
	if (n < 0)
		n += 86400000;
	within("gettime a second later", n, 1050, 60000);
	return 0;
}

int frames()
{
	int i, last;
	// after a second without calls a new window starts
	sleep(1100);
	fps();
	last = -1;
	for (i = 0; i < 5; i++)
		last = fps();
	eq("fps in the first window", last, 0);
	sleep(1100);
	eq("fps counts the last window", fps(), 5);
	eq("fps keeps it for a second", fps(), 5);
	return 0;
}

int main()
{
	marks();
	dates();
	frames();
	return done("timers_counters");
}
