// Arithmetic: abs, sgn, the 16.16 sine, cosine, square root and logarithm,
// atan in 2048ths of a turn, Bezier points, and the sgenrand-seeded MT19937
// behind srand and rand.
// expect: maths_fixed_point: 121 checks, 0 failed
// result: 0
#include "natives.h"
#include "check.h"

int signs()
{
	eq("abs -5", abs(-5), 5);
	eq("abs 5", abs(5), 5);
	eq("abs 0", abs(0), 0);
	eq("abs min", abs(-2147483647 - 1), -2147483647 - 1);
	eq("abs -max", abs(-2147483647), 2147483647);
	eq("sgn 9", sgn(9), 1);
	eq("sgn 0", sgn(0), 0);
	eq("sgn -3", sgn(-3), -1);
	eq("sgn min", sgn(-2147483647 - 1), -1);
	return 0;
}

int trigonometry()
{
	eq("sin 0", sin(0), 0);
	eq("sin 1", sin(1), 201);
	eq("sin 170", sin(170), 32651);
	eq("sin 256", sin(256), 46340);
	eq("sin 512", sin(512), 65536);
	eq("sin 700", sin(700), 54933);
	eq("sin 1024", sin(1024), 0);
	eq("sin 1536", sin(1536), -65536);
	eq("sin 2047", sin(2047), -201);
	eq("sin 2048", sin(2048), sin(0));
	eq("sin -1", sin(-1), sin(2047));
	eq("sin 512 + 4096", sin(512 + 4096), 65536);
	eq("cos 0", cos(0), 65536);
	eq("cos 1", cos(1), 65535);
	eq("cos 170", cos(170), 56822);
	eq("cos 512", cos(512), 0);
	eq("cos 700", cos(700), -35738);
	eq("cos 1024", cos(1024), -65536);
	eq("cos 1536", cos(1536), 0);
	eq("cos -1", cos(-1), 65535);
	eq("cos 2047 + 2048", cos(4095), 65535);
	return 0;
}

int angles()
{
	eq("atan 0 0", atan(0, 0), 0);
	eq("atan 1 0", atan(1, 0), 0);
	eq("atan 0 1", atan(0, 1), 512);
	eq("atan -1 0", atan(-1, 0), 1024);
	eq("atan 0 -1", atan(0, -1), 1536);
	eq("atan 5 5", atan(5, 5), 256);
	eq("atan -5 -5", atan(-5, -5), 1280);
	eq("atan -5 5", atan(-5, 5), 768);
	eq("atan 5 -5", atan(5, -5), 1792);
	eq("atan 1 2", atan(1, 2), 361);
	eq("atan 2 1", atan(2, 1), 151);
	eq("atan -2 1", atan(-2, 1), 873);
	eq("atan 2 -1", atan(2, -1), 1897);
	eq("atan 3 -4", atan(3, -4), 1745);
	eq("atan -3 -4", atan(-3, -4), 1327);
	eq("atan 100 7", atan(100, 7), 21);
	eq("atan -7 100", atan(-7, 100), 533);
	// large vectors: the ratio is taken without overflow
	eq("atan large", atan(16777216, 16777215), 255);
	eq("atan max max", atan(2147483647, 2147483647), 256);
	eq("atan max -max", atan(2147483647, -2147483647), 1792);
	eq("atan -max 1", atan(-2147483647, 1), 1024);
	eq("atan 1 max", atan(1, 2147483647), 512);
	eq("atan min 0", atan(-2147483647 - 1, 0), 1024);
	eq("atan 0 min", atan(0, -2147483647 - 1), 1536);
	eq("atan min min", atan(-2147483647 - 1, -2147483647 - 1), 1280);
	return 0;
}

int roots_and_logs()
{
	eq("sqrt 0", sqrt(0), 0);
	eq("sqrt 1.0", sqrt(65536), 65536);
	eq("sqrt 4.0", sqrt(4 * 65536), 131072);
	eq("sqrt 2.0", sqrt(2 * 65536), 92681);
	eq("sqrt 10.0", sqrt(10 * 65536), 207243);
	eq("sqrt 1/65536", sqrt(1), 256);
	eq("sqrt 3/65536", sqrt(3), 443);
	eq("sqrt max", sqrt(2147483647), 11863283);
	eq("sqrt -1", sqrt(-1), 0);
	eq("sqrt -1.0", sqrt(-65536), 0);
	eq("sqrt min", sqrt(-2147483647 - 1), 0);
	eq("log 1.0", log(65536), 0);
	eq("log 2.0", log(131072), 45426);
	eq("log 0.5", log(32768), -45426);
	eq("log near e", log(178145), 65535);
	eq("log 10.0", log(655360), 150902);
	eq("log 1/65536", log(1), -726817);
	eq("log max", log(2147483647), 681391);
	eq("log 0", log(0), 0);
	eq("log -1.0", log(-65536), 0);
	eq("log min", log(-2147483647 - 1), 0);
	return 0;
}

int curve[8] = {0, 0, 10, 40, 60, 80, 100, 20};
int out[12];
int flat[8] = {-3, 5, -3, 5, -3, 5, -3, 5};

int bezier_points()
{
	int i;
	int five[10] = {0, 0, 14, 28, 39, 48, 69, 48, 100, 20};
	int three[6] = {0, 0, 39, 48, 100, 20};
	eq("bezier 5", bezier(curve, out, 5), 1);
	for (i = 0; i < 10; i++)
		eq("bezier 5 point", out[i], five[i]);
	bezier(curve, out, 3);
	for (i = 0; i < 6; i++)
		eq("bezier 3 point", out[i], three[i]);
	for (i = 0; i < 12; i++)
		out[i] = -9;
	eq("bezier 2", bezier(curve, out, 2), 1);
	eq("bezier 2 x0", out[0], 0);
	eq("bezier 2 y0", out[1], 0);
	eq("bezier 2 x1", out[2], 100);
	eq("bezier 2 y1", out[3], 20);
	eq("bezier 2 untouched", out[4], -9);
	for (i = 0; i < 12; i++)
		out[i] = -9;
	bezier(curve, out, 1);
	eq("bezier 1 x0", out[0], 0);
	eq("bezier 1 y0", out[1], 0);
	eq("bezier 1 untouched", out[2], -9);
	bezier(curve, out, 0);
	eq("bezier 0 untouched", out[2], -9);
	// later points are truncated after adding one half: -3 + 0.5 gives -2
	eq("bezier constant", bezier(flat, out, 3), 1);
	eq("bezier constant x0", out[0], -3);
	eq("bezier constant y0", out[1], 5);
	eq("bezier constant x1", out[2], -2);
	eq("bezier constant y1", out[3], 5);
	eq("bezier constant x2", out[4], -2);
	return 0;
}

int random_numbers()
{
	int a, b, c, i, low;
	eq("srand", srand(1), 1);
	a = rand();
	b = rand();
	c = rand();
	// sgenrand seeding, then the standard MT19937 tempering, top bit clear
	eq("srand 1 first", a, 1408678373);
	eq("srand 1 second", b, 1864909143);
	eq("srand 1 third", c, 221657543);
	srand(1);
	eq("srand 1 again", rand(), a);
	eq("srand 1 again 2", rand(), b);
	// not init_genrand: 3499211612 with the top bit cleared would be 1351727964
	srand(5489);
	eq("srand 5489", rand(), 1379409373);
	srand(4357);
	eq("srand 4357", rand(), 719735491);
	// past the first 624 words the state is regenerated
	srand(12345);
	for (i = 0; i < 623; i++)
		rand();
	eq("draw 624", rand(), 353453654);
	eq("draw 625", rand(), 211180313);
	eq("srand 0", srand(0), 1);
	low = 0;
	for (i = 0; i < 2000; i++)
		if (rand() < 0)
			low++;
	eq("rand never negative", low, 0);
	return 0;
}

int main()
{
	signs();
	trigonometry();
	angles();
	roots_and_logs();
	bezier_points();
	random_numbers();
	return done("maths_fixed_point");
}
