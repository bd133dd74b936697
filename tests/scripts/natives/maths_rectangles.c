// Rectangle records (left, top, right, bottom; right and bottom exclusive):
// rc_empty, rc_set, rc_setwh, rc_copy, rc_move, rc_intersect, rc_union,
// rc_inflate, rc_in and rc_check, and their refusal of a 0 address.
// expect: maths_rectangles: 109 checks, 0 failed
// result: 0
#include "natives.h"
#include "check.h"

int r[4], a[4], b[4], d[4];

int is(char *what, int *rc, int left, int top, int right, int bottom)
{
	eq(what, rc[0], left);
	eq(what, rc[1], top);
	eq(what, rc[2], right);
	return eq(what, rc[3], bottom);
}

int setting()
{
	yes("rc_set", rc_set(r, 1, 2, 30, 40));
	is("rc_set fields", r, 1, 2, 30, 40);
	rc_setwh(r, 5, 6, 10, 20);
	is("rc_setwh", r, 5, 6, 15, 26);
	rc_setwh(r, -5, -6, 3, 2);
	is("rc_setwh negative", r, -5, -6, -2, -4);
	yes("rc_empty", rc_empty(r));
	is("rc_empty fields", r, 0, 0, 0, 0);
	rc_set(a, 7, 8, 9, 10);
	rc_copy(r, a);
	is("rc_copy", r, 7, 8, 9, 10);
	rc_move(r, 3, -8);
	is("rc_move", r, 10, 0, 12, 2);
	rc_set(r, 10, 10, 20, 30);
	rc_inflate(r, 2, 5);
	is("rc_inflate", r, 8, 5, 22, 35);
	rc_inflate(r, -4, -1);
	is("rc_inflate inward", r, 12, 6, 18, 34);
	return 0;
}

int emptiness()
{
	rc_set(r, 0, 0, 10, 10);
	eq("rc_check full", rc_check(r) != 0, 0);
	rc_set(r, 5, 0, 5, 10);
	yes("rc_check no width", rc_check(r));
	rc_set(r, 0, 5, 10, 5);
	yes("rc_check no height", rc_check(r));
	rc_set(r, 9, 0, 3, 10);
	yes("rc_check reversed", rc_check(r));
	rc_empty(r);
	yes("rc_check zero", rc_check(r));
	return 0;
}

int points()
{
	rc_set(r, 10, 20, 30, 40);
	yes("rc_in inside", rc_in(r, 15, 25));
	yes("rc_in left edge", rc_in(r, 10, 25));
	yes("rc_in top edge", rc_in(r, 15, 20));
	yes("rc_in top left", rc_in(r, 10, 20));
	eq("rc_in right edge", rc_in(r, 30, 25) != 0, 0);
	eq("rc_in bottom edge", rc_in(r, 15, 40) != 0, 0);
	yes("rc_in last pixel", rc_in(r, 29, 39));
	eq("rc_in left of", rc_in(r, 9, 25) != 0, 0);
	eq("rc_in above", rc_in(r, 15, 19) != 0, 0);
	return 0;
}

int combining()
{
	rc_set(a, 0, 0, 10, 10);
	rc_set(b, 5, 5, 20, 20);
	yes("rc_intersect overlap", rc_intersect(d, a, b));
	is("rc_intersect fields", d, 5, 5, 10, 10);
	rc_set(b, 10, 0, 20, 10);
	rc_set(d, 1, 2, 3, 4);
	eq("rc_intersect touching", rc_intersect(d, a, b), 0);
	is("rc_intersect touching zeros", d, 0, 0, 0, 0);
	rc_set(b, 50, 50, 60, 60);
	rc_set(d, 1, 2, 3, 4);
	eq("rc_intersect apart", rc_intersect(d, a, b), 0);
	is("rc_intersect apart zeros", d, 0, 0, 0, 0);
	rc_empty(b);
	eq("rc_intersect with an empty one", rc_intersect(d, a, b), 0);
	rc_set(b, 2, 3, 4, 5);
	yes("rc_intersect inside", rc_intersect(d, a, b));
	is("rc_intersect inside fields", d, 2, 3, 4, 5);
	rc_set(b, 50, -5, 60, 5);
	yes("rc_union", rc_union(d, a, b));
	is("rc_union fields", d, 0, -5, 60, 10);
	// an empty operand is ignored
	rc_set(b, -100, -100, -100, 50);
	yes("rc_union empty b", rc_union(d, a, b));
	is("rc_union empty b fields", d, 0, 0, 10, 10);
	yes("rc_union empty a", rc_union(d, b, a));
	is("rc_union empty a fields", d, 0, 0, 10, 10);
	rc_set(d, 1, 2, 3, 4);
	rc_empty(a);
	eq("rc_union both empty", rc_union(d, a, b), 0);
	is("rc_union both empty zeros", d, 0, 0, 0, 0);
	// the destination may be an operand
	rc_set(a, 0, 0, 10, 10);
	rc_set(b, 5, 5, 20, 20);
	rc_intersect(a, a, b);
	is("rc_intersect in place", a, 5, 5, 10, 10);
	return 0;
}

int refusals()
{
	rc_set(r, 1, 2, 3, 4);
	eq("rc_empty 0", rc_empty(0), 0);
	eq("rc_set 0", rc_set(0, 1, 2, 3, 4), 0);
	eq("rc_setwh 0", rc_setwh(0, 1, 2, 3, 4), 0);
	eq("rc_copy to 0", rc_copy(0, r), 0);
	eq("rc_copy from 0", rc_copy(r, 0), 0);
	eq("rc_move 0", rc_move(0, 1, 1), 0);
	eq("rc_intersect dest 0", rc_intersect(0, r, r), 0);
	eq("rc_intersect a 0", rc_intersect(d, 0, r), 0);
	eq("rc_union b 0", rc_union(d, r, 0), 0);
	eq("rc_inflate 0", rc_inflate(0, 1, 1), 0);
	eq("rc_in 0", rc_in(0, 0, 0), 0);
	eq("rc_check 0", rc_check(0), 0);
	is("rc_copy from 0 leaves it", r, 1, 2, 3, 4);
	return 0;
}

int main()
{
	setting();
	emptiness();
	points();
	combining();
	refusals();
	return done("maths_rectangles");
}
