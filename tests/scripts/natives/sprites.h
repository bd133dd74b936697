/* sprites.h: the sprite and hit-area records as scripts lay them out
 * (structures are packed, so the members fall on the record's offsets),
 * and reading a 32-bit page's pixels through ginfo. */
struct Sprite {
	unsigned char kind;
	unsigned char layer;
	unsigned short flags;
	unsigned char mirror_x;
	unsigned char mirror_y;
	unsigned char shift;
	unsigned char reserved;
	int bias;
	int plane;
	int x;
	int y;
	int hot_x;
	int hot_y;
	int scale_x;
	int scale_y;
	int eff_scale_x;
	int eff_scale_y;
	unsigned short angle;
	unsigned short eff_angle;
	int src[4];
	unsigned char params[12];
	int box[4];
	int scaled[4];
	struct Sprite *parent;
	struct Sprite *chain;
	struct Sprite *prev;
	struct Sprite *next;
	int hits; /* the first struct Hit it owns */
	int pending;
	int reserved2;
};

struct Hit {
	int group;
	int mask;
	int rect[4];
	struct Sprite *owner;
	int user;
	struct Hit *prev;
	struct Hit *next;
	struct Hit *next_owned;
};

int pixel_info[5];

/* the colour of a pixel of a 32-bit plane, alpha dropped */
int pixel(int plane, int x, int y)
{
	int *p;
	ginfo(plane, pixel_info);
	p = (int *)(pixel_info[3] + y * pixel_info[4] + x * 4);
	return *p & 0xFFFFFF;
}

/* a rectangle against the one wanted */
int is_rect(char *what, int *rc, int left, int top, int right, int bottom)
{
	eq(what, rc[0], left);
	eq(what, rc[1], top);
	eq(what, rc[2], right);
	return eq(what, rc[3], bottom);
}
