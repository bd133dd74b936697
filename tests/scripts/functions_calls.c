// Functions and calls: right-to-left arguments, g's result surviving the
// call of f, recursion, function pointers, old-style parameters, natives.
// expect: arg 3
// expect: arg 2
// expect: arg 1
// expect: sub 4
// expect: fib 55
// expect: ptr 42
// expect: old 166
// expect: len 5
// result: 42
#include "../../include/natives.h"
int show(int v) { log_out("arg %d", v); return v; }
int sub3(int a, int b, int c) { return a - b - c; }
int fib(int n) { return n < 2 ? n : fib(n - 1) + fib(n - 2); }
int twice(int v) { return v * 2; }
int old(a, b) char *b; { return a + b[1]; }
int f(int v) { return v * 10; }
int g(int v) { return v; }
int main()
{
	int (*fp)();
	log_out("sub %d", sub3(show(1) * 9, show(2), show(3)));
	log_out("fib %d", fib(10));
	fp = twice;
	log_out("ptr %d", (*fp)(21));
	log_out("old %d", old(100, "AB"));
	log_out("len %d", strlen("hello"));
	return f(4) + g(2);
}
