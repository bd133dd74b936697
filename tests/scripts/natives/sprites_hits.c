// Hit areas from a script: the record's fields, edges of hit_point and
// hit_rect, hit_check in group order, areas carried by a sprite through its
// parent less the hot spots, and freeing.
// expect: sprites_hits: 39 checks, 0 failed
// result: 0
#include "natives.h"
#include "check.h"
#include "sprites.h"

int rc[4];
int img;

int edges()
{
	struct Hit *a;
	eq("record size", sizeof(struct Hit), 44);
	rc_set(rc, 10, 20, 30, 40);
	a = (struct Hit *)hit_set(3, 1, 0, rc, 99);
	yes("hit_set", a != 0);
	eq("group", a->group, 3);
	eq("user", a->user, 99);
	is_rect("rect", a->rect, 10, 20, 30, 40);
	yes("linked", a->prev->next == a);
	yes("left top", hit_point(10, 20, -1) == a);
	yes("inside", hit_point(29, 39, -1) == a);
	eq("right edge", hit_point(30, 25, -1), 0);
	eq("bottom edge", hit_point(15, 40, -1), 0);
	eq("other groups", hit_point(15, 25, 7), 0);
	rc_set(rc, 30, 20, 40, 40);
	eq("touching", hit_rect(rc, -1), 0);
	rc_set(rc, 29, 39, 40, 40);
	yes("corner", hit_rect(rc, -1) == a);
	eq("hit_reset", hit_reset(a), 1);
	eq("freed", (int)a->prev, 0);
	eq("gone", hit_point(15, 25, -1), 0);
	return 0;
}

int order()
{
	struct Hit *late, *first, *second, *probe;
	rc_set(rc, 0, 0, 50, 50);
	late = (struct Hit *)hit_set(5, 1, 0, rc, 0);
	first = (struct Hit *)hit_set(2, 1, 0, rc, 0);
	second = (struct Hit *)hit_set(2, 1, 0, rc, 0);
	rc_set(rc, 10, 10, 11, 11);
	probe = (struct Hit *)hit_set(2, 0x24, 0, rc, 0);
	yes("group order", hit_check(probe) == first);
	first->mask = 0;
	yes("mask 0 skipped", hit_check(probe) == second);
	hit_reset(second);
	yes("next group", hit_check(probe) == late);
	probe->mask = 0;
	eq("probe mask 0", hit_check(probe), 0);
	eq("hit_init", hit_init(-1), 1);
	eq("all freed", hit_point(5, 5, -1), 0);
	return 0;
}

int carried()
{
	struct Sprite *parent, *child;
	struct Hit *own, *small;
	galloc(&img, 8, 6, 32);
	parent = (struct Sprite *)sp_set(0, 2, 100, 50, img, 0, 0);
	child = (struct Sprite *)sp_set(1, 2, 10, 5, img, 0, 0);
	sp_link(parent, child);
	parent->hot_x = 4;
	parent->hot_y = 3;
	parent->scale_x = 0x30000;
	parent->angle = 300;
	sp_org(-1, 40, 40);
	own = (struct Hit *)hit_set(0, 1, parent, 0, 0);
	is_rect("sprite size", own->rect, 0, 0, 8, 6);
	yes("owner", own->owner == parent);
	yes("owned", parent->hits == (int)own);
	rc_set(rc, 0, 0, 2, 2);
	small = (struct Hit *)hit_set(1, 1, child, rc, 0);
	yes("placed", hit_point(96, 47, -1) == own);
	yes("placed end", hit_point(103, 52, -1) == own);
	eq("placed right", hit_point(104, 52, -1), 0);
	yes("through the parent", hit_point(106, 52, -1) == small);
	eq("past it", hit_point(108, 52, -1), 0);
	sp_reset(parent);
	eq("owner dropped", (int)own->owner, 0);
	yes("absolute now", hit_point(0, 0, 1) == own);
	sp_init(-1);
	eq("sp_init frees areas", hit_point(0, 0, -1), 0);
	return 0;
}

int main()
{
	edges();
	order();
	carried();
	return done("sprites_hits");
}
