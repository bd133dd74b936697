// Expressions and folding: -7/4 shift against the folded -1, evaluation
// order, spills, compound assignment evaluating its address twice.
// expect: -2 -1
// expect: g
// expect: f
// expect: 12
// expect: 37 601
// expect: twice 2 once 1
// expect: 44 300
// expect: 1 0 1
// result: 0
#include "../../include/natives.h"
int a = 1, b = 2, c = 3, d = 4, e = 5, g = 6, h = 7, i = 8;
int fcall(int v) { log_out("f"); return v * 10; }
int gcall(int v) { log_out("g"); return v; }
int main()
{
	int n, k, arr[4], sum;
	char ch;
	n = -7;
	log_out("%d %d", n / 4, -7 / 4);
	sum = fcall(1) + gcall(2);
	log_out("%d", sum);
	sum = b + b + b + b + b + b + b + b + b + b + b + b + b + b + b + b + b + b + b + b
	    + b + b + b + b + b + b + b + b + b + b + b + b + b + b + b + b + b + b + b + b
	    + b + b + b + b + b + b + b + b + b + b + b + b + b + b + b + b + b + b + b + b
	    + b + b + b + b + b + b + b + b + b + b + b + b + b + b + b + b + b + b + b + b;
	log_out("%d %d", a + (b + (c + (d + (e + (g + (h + (i + a))))))), sum * 3 + 121);
	k = 0; arr[0] = 0; arr[1] = 0;
	arr[k++] += 5;
	n = k;
	k = 0;
	arr[k++] = 5;
	log_out("twice %d once %d", n, k);
	n = (ch = 300);
	log_out("%d %d", ch, n);
	log_out("%d %d %d", -1 < 1, -1 < (unsigned)1, (unsigned)-1 > 0);
	return 0;
}
