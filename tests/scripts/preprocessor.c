// Preprocessor: macros with and without parameters, calls ended by ';',
// pasting, continuation lines, include once, asm blocks.
// expect: N=12
// expect: max=9 min=2
// expect: sub=7
// expect: pasted=42
// expect: joined=6
// expect: once=1
// expect: rebound=10101
// result: 0
#include "../../include/natives.h"
#include "include/once.h"
#include "include/ONCE.H"
#define N 12
#define MAX(a, b) ((a) > (b) ? (a) : (b))
#define MIN(A, B) ((a) < (b) ? (A) : (B))
#define LOGSUB(x, y) log_out("sub=%d", (x) - (y))
#define VAR(n) value_##n
#define SUM3(a, b, c) \
	((a) + \
	 (b) + (c))
#define M(a) (a) * 100 + a
int value_7 = 42;
#asm
	this text only reaches the listing
#endasm
int main()
{
	log_out("N=%d", N);
	log_out("max=%d min=%d", MAX(2, 9), MIN(2, 9));
	LOGSUB 10, 3;
	log_out("pasted=%d", VAR(7));
	log_out("joined=%d", SUM3(1, 2, 3));
	log_out("once=%d", once_counter);
	log_out("rebound=%d", M(M(1)));
	return 0;
}
