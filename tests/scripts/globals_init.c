// Globals and initialisers: widths, skipped elements, strings, function
// addresses, static locals, and locals initialised by stores.
// expect: g 5 c 44 s -2
// expect: arr 1 0 3 0
// expect: msg hello
// expect: fp 14
// expect: static 12 11 10
// expect: local 5 44 14
// result: 0
#include "../../include/natives.h"
int g = 5;
char c = 300;
short s = -2;
int arr[4] = {1, , 3};
char *msg = "hello";
int seven(int v) { return v * 7; }
int (*fp)() = seven;
int counter()
{
	static int n = 10;
	return n++;
}
int main()
{
	int a = g, list[3] = {a, , 9};
	char ch = 300;
	log_out("g %d c %d s %d", g, c, s);
	log_out("arr %d %d %d %d", arr[0], arr[1], arr[2], arr[3]);
	log_out("msg %s", msg);
	log_out("fp %d", (*fp)(2));
	log_out("static %d %d %d", counter(), counter(), counter());
	log_out("local %d %d %d", a, ch, list[0] + list[2]);
	return 0;
}
