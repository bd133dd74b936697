// Statements: loops, break and continue, switch groups and default, goto,
// constant conditions, a missing ';' that only warns.
// expect: loop 0 1 2
// expect: while 10 12
// expect: sw 12 12 43 40 5 99
// expect: goto 3
// expect: forever 4
// expect: if0 done
// missing: statements.c(58) : ';'
// result: 7
#include "../../include/natives.h"
int sw(int v)
{
	int r;
	r = 0;
	switch (v) {
	case 1:
	case 2:
		r = 12;
		break;
	case 3:
		r = 3;
	case 4:
		r += 40;
		break;
	default:
		r = 99;
		break;
	case 5:
		r = 5;
	}
	return r;
}
int main()
{
	int i, n, seen[3];
	for (i = 0; i < 3; i++)
		seen[i] = i;
	log_out("loop %d %d %d", seen[0], seen[1], seen[2]);
	i = 10;
	n = 0;
	while (i < 13) {
		if (i == 11) { i++; continue; }
		seen[n++] = i++;
	}
	log_out("while %d %d", seen[0], seen[1]);
	log_out("sw %d %d %d %d %d %d", sw(1), sw(2), sw(3), sw(4), sw(5), sw(6));
	i = 0;
again:
	i++;
	if (i < 3) goto again;
	log_out("goto %d", i);
	n = 0;
	for (;;) { if (++n == 4) break; }
	log_out("forever %d", n);
	if (0) log_out("never");
	log_out("if0 done")
	return 7;
}
