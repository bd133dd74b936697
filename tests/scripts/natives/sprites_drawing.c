// Sprites from a script: records changed in place and drawn over a
// background, read back through the page's pixels; the returned area, a
// child following its parent, scaling, rotation boxes, removal with
// sp_count, the spare record, and sorting.
// expect: sprites_drawing: 96 checks, 0 failed
// stderr: SetChildSprite
// result: 0
#include "natives.h"
#include "check.h"
#include "sprites.h"

#define BG 0x102030
#define RED 0xFF0000
#define BLUE 0x0000FF

int rc[4];
int page, bg, red, blue, wide;

int setup()
{
	galloc(&page, 64, 48, 32);
	galloc(&bg, 64, 48, 32);
	galloc(&red, 8, 8, 32);
	galloc(&blue, 8, 8, 32);
	galloc(&wide, 16, 8, 32);
	gfill(bg, 0, BG);
	gfill(red, 0, RED);
	gfill(blue, 0, BLUE);
	gfill(wide, 0, RED);
	eq("apage", apage(page), 1);
	eq("sp_setbg", sp_setbg(bg), 1);
	return 0;
}

int moving()
{
	struct Sprite *s, *c;
	eq("record size", sizeof(struct Sprite), 140);
	s = (struct Sprite *)sp_set(0, 2, 10, 10, red, 0, 0);
	yes("sp_set", s != 0);
	eq("kind", s->kind, 2);
	eq("scale", s->scale_x, 0x10000);
	eq("source", s->src[2], 8);
	eq("sp_count", getsystem("sp_count"), 1);
	eq("sp_draw", sp_draw(-1, rc), 1);
	is_rect("first area", rc, 0, 0, 64, 48);
	is_rect("box", s->box, 10, 10, 18, 18);
	eq("on the page", s->flags & 0x8000, 0x8000);
	eq("drawn", pixel(page, 10, 10), RED);
	eq("background", pixel(page, 9, 10), BG);

	s->x = s->x + 10;
	s->flags = s->flags | 1;
	sp_draw(-1, rc);
	is_rect("moved area", rc, 10, 10, 28, 18);
	eq("old place restored", pixel(page, 10, 10), BG);
	eq("old place right", pixel(page, 19, 17), BG);
	eq("new place", pixel(page, 20, 10), RED);
	eq("new place end", pixel(page, 27, 17), RED);

	// A child at the parent's top-right corner comes before it in the list.
	c = (struct Sprite *)sp_set(0, 2, 8, 0, blue, 0, 0);
	eq("sp_link", sp_link(s, c), 1);
	yes("chain", s->chain == c);
	yes("parent", c->parent == s);
	yes("moved before", c->next == s);
	yes("back link", s->prev == c);
	sp_draw(-1, rc);
	is_rect("child box", c->box, 28, 10, 36, 18);
	eq("child drawn", pixel(page, 28, 10), BLUE);
	s->y = 20;
	s->flags = s->flags | 1;
	sp_draw(-1, rc);
	is_rect("family area", rc, 20, 10, 36, 28);
	is_rect("child follows", c->box, 28, 20, 36, 28);
	eq("child old place", pixel(page, 30, 12), BG);
	eq("sp_link self", sp_link(s, s), 0);
	eq("sp_link parent", sp_link(c, s), 0);

	// Twice the size about a centred hot spot.
	s->hot_x = 4;
	s->hot_y = 4;
	s->scale_x = 0x20000;
	s->scale_y = 0x20000;
	s->flags = s->flags | 1;
	eq("sp_rect", sp_rect(s, rc), 1);
	is_rect("scaled", rc, 12, 12, 28, 28);
	sp_draw(-1, rc);
	eq("scaled drawn", pixel(page, 12, 12), RED);
	eq("scaled end", pixel(page, 27, 27), RED);
	eq("child scale", c->eff_scale_x, 0x20000);

	eq("sp_reset", sp_reset(s), 1);
	eq("removing", s->kind, 1);
	eq("child removing", c->kind, 1);
	eq("count before draw", getsystem("sp_count"), 2);
	sp_draw(-1, rc);
	eq("count after draw", getsystem("sp_count"), 0);
	eq("freed", s->kind, 0);
	eq("area gone", pixel(page, 12, 12), BG);
	eq("child gone", pixel(page, 40, 20), BG);
	return 0;
}

int turning()
{
	struct Sprite *s;
	s = (struct Sprite *)sp_set(2, 2, 32, 24, wide, 0, 0);
	s->hot_x = 8;
	s->hot_y = 4;
	s->angle = 512;
	sp_draw(-1, rc);
	is_rect("turned box", s->box, 28, 16, 36, 32);
	is_rect("unturned box", s->scaled, 24, 20, 40, 28);
	eq("effective angle", s->eff_angle, 512);
	eq("turned drawn", pixel(page, 32, 17), RED);
	eq("turned side", pixel(page, 26, 24), BG);
	s->angle = 256;
	s->flags = s->flags | 1;
	sp_draw(-1, rc);
	eq("45 degrees width", s->box[2] - s->box[0], 17);
	eq("45 degrees height", s->box[3] - s->box[1], 17);
	sp_reset(s);
	sp_draw(-1, rc);
	eq("turned gone", pixel(page, 32, 24), BG);
	return 0;
}

int spare()
{
	struct Sprite *s;
	s = (struct Sprite *)sp_set(40, 2, 5, 5, red, 0, 0);
	yes("spare", s != 0);
	s->kind = 2;
	s->flags = 1;
	s = (struct Sprite *)sp_set(0, 2, 5, 5, 1024, 0, 0);
	yes("spare again", s != 0);
	eq("spare not counted", getsystem("sp_count"), 0);
	sp_draw(-1, rc);
	is_rect("nothing drawn", rc, 0, 0, 0, 0);
	eq("page untouched", pixel(page, 5, 5), BG);
	return 0;
}

int sorting()
{
	struct Sprite *a, *b, *c, *d;
	a = (struct Sprite *)sp_set(1, 2, 0, 30, red, 0, 0);
	b = (struct Sprite *)sp_set(1, 2, 0, 10, red, 0, 0);
	c = (struct Sprite *)sp_set(1, 2, 0, 20, red, 0, 0);
	d = (struct Sprite *)sp_set(1, 2, 0, 20, red, 0, 0);
	eq("sp_sort", sp_sort(2), 1);
	yes("first", b->prev->next == b);
	yes("10 then 20", b->next == c);
	yes("equal keys keep their order", c->next == d);
	yes("then 30", d->next == a);
	yes("last", a->next == 0);
	a->bias = -25;
	sp_sort(2);
	yes("bias", a->next == b);
	eq("sp_init", sp_init(-1), 1);
	eq("all gone", getsystem("sp_count"), 0);
	return 0;
}

int main()
{
	setup();
	moving();
	turning();
	spare();
	sorting();
	return done("sprites_drawing");
}
