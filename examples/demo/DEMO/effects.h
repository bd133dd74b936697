/* effects.h: the demo's image filters and screen effects, included by
   DEMO.c. The game draws each frame on the canvas, a plane of its own, and
   present() shows it on plane 0, the page in the window: as it is, through
   moving water (ef_water; ef_blob drops a stone where a star was caught),
   or twisted (ef_whirl) while a lost game whirls away. */

/* Effect slots, both drawing the canvas onto plane 0. */
#define WATER 0
#define WHIRL 1

int canvas;     /* the plane the game draws on */
int effects_on; /* both effect slots are bound */
int ripple;     /* frames the water still moves */
int twist;      /* ef_whirl's twist; 0 shows the canvas untwisted */

/* The canvas, with the size and depth of plane 0, and the effect slots.
   `page` then describes the canvas. 0 without a page to copy. */
int make_canvas()
{
    int info[5];
    if (!ginfo(0, info) || info[3] == 0)
        return 0;
    if (!galloc(&canvas, info[0], info[1], info[2]))
        return 0;
    effects_on = ef_init(WATER, 0, 0, canvas, 0) && ef_init(WHIRL, 0, 0, canvas, 0);
    return ginfo(canvas, page);
}

/* The scene change from the balls to the game: the last frame of the balls
   turns grey, smears sideways and darkens to black over 32 frames (blur,
   then monotone on a ramp from black to an ever darker grey). 1 when every
   filter worked. */
int fade_out()
{
    int f, level, ok;
    ok = gcopy(canvas, 0, 0, 0, 0, 0);
    for (f = 1; f <= 32; f++) {
        level = clamp(255 - f * 8, 0, 255);
        if (!blur(0, 0, 0, canvas, 0, f / 2) || !monotone(0, 0, 0, level * 0x010101))
            ok = 0;
        update(0);
        sleep(16);
    }
    return ok;
}

/* A stone dropped into the water at (x, y): rings spread from there and
   fade within about two seconds. */
void drop(int x, int y, int radius, int height)
{
    if (effects_on && ef_blob(WATER, x, y, radius, height))
        ripple = 120;
}

/* Shows the canvas on plane 0 through the effect in force. 1 when an effect
   drew it. */
int present()
{
    if (effects_on && twist > 0)
        return ef_whirl(WHIRL, twist);
    if (effects_on && ripple > 0) {
        ripple--;
        return ef_water(WATER);
    }
    gcopy(0, 0, 0, canvas, 0, 0);
    return 0;
}
