/* The bundled demo title. It opens a 640 x 480 window, runs a few pieces of
   work on two script threads and reports them through the debug log (shown
   on standard output when headless or with DebugMode on), then shows a
   moving picture for "Frames" frames of section [Demo] of the configuration
   (90 when absent), then half as many of balls bouncing over a background
   with the sprite system, and ends; the window stays open, showing the last
   frame, until it is closed. Headless, the runtime ends with the program.
   The picture is drawn while no other script thread runs: with several
   running, each thread gives the processor away after every slice. */
// expect: qavz demo: starting
// expect: primes below 10000: 1229
// expect: fib(20) = 6765
// expect: sprintf wrote "1229 primes, fib(20) = 6765" (27 bytes)
// expect: worker thread: sum of squares below 1000 = 332833500
// expect: qavz demo: music and sound effects
// expect: sprites: 8 balls, sp_count 8, last ball drawn 1
// expect: qavz demo: done
// result: 1229
#include "natives.h"

/* The leading fields of a sprite record; scripts move sprites by writing
   them and setting bit 0 of the flags. */
struct Sprite {
    char kind;
    char layer;
    short flags;
    char mirror_x;
    char mirror_y;
    char shift;
    char reserved;
    int sort_bias;
    int plane;
    int x;
    int y;
};

/* Blit parameters: mode 1 leaves the key colour out. */
struct Blit {
    char mode;
    char channels;
    char alpha;
    char second;
    int key;
    int colour;
};

#define BALLS 8
#define KEY 0xFF00FF

char sieve[10000];
int worker_done;
int worker_sum;

/* Plane 0, the page the window shows: width, height, depth, the address of
   pixel (0, 0) and the step from one row to the next one down. */
int page[5];

/* Writes one pixel of the page straight into its memory. */
void put_pixel(int x, int y, int rgb)
{
    char *p;
    if (x < 0 || y < 0 || x >= page[0] || y >= page[1])
        return;
    if (page[2] == 24 || page[2] == 32) {
        p = (char *)(page[3] + y * page[4] + x * (page[2] / 8));
        p[0] = rgb;
        p[1] = rgb >> 8;
        p[2] = rgb >> 16;
    } else if (page[2] == 16) {
        p = (char *)(page[3] + y * page[4] + x * 2);
        rgb = ((rgb >> 9) & 0x7C00) | ((rgb >> 6) & 0x03E0) | ((rgb >> 3) & 0x001F);
        p[0] = rgb;
        p[1] = rgb >> 8;
    }
}

/* A shaded ball of radius r at (cx, cy). */
void draw_ball(int cx, int cy, int r, int shade)
{
    int x, y, d, light;
    for (y = -r; y <= r; y++)
        for (x = -r; x <= r; x++) {
            d = x * x + y * y;
            if (d > r * r)
                continue;
            light = 255 - d * 200 / (r * r);
            put_pixel(cx + x, cy + y, (light << 16) | ((light * shade / 255) << 8) | 40);
        }
}

char font[44];

/* Font slot 1: the default face at 28 pixels, smooth; slot 2 the same
   face at 16 pixels, plain and turned by 30 degrees. */
void make_fonts()
{
    font_get(0, font);
    *(int *)(font + 32) = 28;
    font[40] = 16;
    font_set(1, font);
    *(int *)(font + 32) = 16;
    *(int *)(font + 36) = 300;
    font[40] = 0;
    font_set(2, font);
}

/* A smooth caption sliding along the bottom, white (palette index 255), and
   a turned plain line above it: "qavz の世界へようこそ" and "日本語の文字" in
   Shift-JIS. */
void draw_captions(int t)
{
    font_use(1);
    gtext(0, 40 + (sin(t * 10) * 60 >> 16), page[1] - 56, 0xFF,
          "qavz \x82\xCC\x90\xA2\x8A\x45\x82\xD6\x82\xE6\x82\xA4\x82\xB1\x82\xBB");
    font_use(2);
    gtext(0, 40, page[1] - 140, 0xFF, "\x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x95\xB6\x8E\x9A");
    font_use(0);
}

/* One frame: colour bands drifting down, a turning star of lines, a ball
   bouncing off the edges and the captions. */
void draw_frame(int t)
{
    int band[4], i, c, a, cx, cy, bx, by;
    for (i = 0; i < 16; i++) {
        c = (sin(t * 8 + i * 128) >> 10) + 64;
        band[0] = 0;
        band[1] = i * page[1] / 16;
        band[2] = page[0];
        band[3] = (i + 1) * page[1] / 16;
        gfill(0, band, ((c / 2 + 16) << 16) | ((c / 3) << 8) | (c + 60));
    }
    cx = page[0] / 2;
    cy = page[1] / 2;
    for (i = 0; i < 24; i++) {
        a = t * 6 + i * 2048 / 24;
        gline(0, cx, cy, cx + (cos(a) * 180 >> 16), cy + (sin(a) * 180 >> 16), 0xFFE080);
    }
    bx = (t * 7) % (2 * (page[0] - 60));
    if (bx > page[0] - 60)
        bx = 2 * (page[0] - 60) - bx;
    by = (t * 5) % (2 * (page[1] - 60));
    if (by > page[1] - 60)
        by = 2 * (page[1] - 60) - by;
    draw_ball(bx + 30, by + 30, 24, t * 4 % 256);
    draw_captions(t);
}

/* Draws and shows `frames` frames, about 60 a second. Without a page there
   is nothing to draw on. */
void picture(int frames)
{
    int t;
    if (!ginfo(0, page) || page[3] == 0)
        return;
    make_fonts();
    for (t = 0; t < frames; t++) {
        draw_frame(t);
        update(0);
        sleep(16);
    }
}

/* Counts the primes below n with the sieve of Eratosthenes. */
int count_primes(int n)
{
    int i, j, count;
    count = 0;
    for (i = 2; i < n; i++) {
        if (sieve[i])
            continue;
        count++;
        for (j = i * i; j < n; j += i)
            sieve[j] = 1;
    }
    return count;
}

int fib(int n)
{
    if (n < 2)
        return n;
    return fib(n - 1) + fib(n - 2);
}

/* Runs on a second script thread: sums the squares below its argument. */
int worker(int n)
{
    int i;
    worker_sum = 0;
    for (i = 0; i < n; i++)
        worker_sum += i * i;
    worker_done = 1;
    return 0;
}

/* A background of coloured bands and a ball drawn on the key colour. */
int make_planes(int *bg, int *ball)
{
    int y, half;
    galloc(bg, 640, 480, 24);
    for (y = 0; y < 480; y++)
        gline(*bg, 0, y, 639, y, (y / 2) << 8 | (255 - y / 2));
    galloc(ball, 32, 32, 24);
    gfill(*ball, 0, KEY);
    for (y = 0; y < 32; y++) {
        half = isqrt(256 - (y - 16) * (y - 16) + 16);
        gline(*ball, 16 - half, y, 15 + half, y, 0xFFD040);
    }
    return 0;
}

int isqrt(int n)
{
    int r;
    r = 0;
    while ((r + 1) * (r + 1) <= n)
        r++;
    return r;
}

/* Bounces balls for `frames` frames, each frame restored and redrawn by
   sp_draw and shown with update. */
int bounce(int frames)
{
    struct Sprite *balls[BALLS];
    struct Blit keyed;
    int dx[BALLS], dy[BALLS];
    int rect[4];
    int bg, ball, i, frame, drawn;
    make_planes(&bg, &ball);
    keyed.mode = 1;
    keyed.key = KEY;
    sp_init(-1);
    sp_setbg(bg);
    for (i = 0; i < BALLS; i++) {
        balls[i] = (struct Sprite *)sp_set(0, 2, 40 + i * 70, 30 + i * 50, ball, 0, &keyed);
        dx[i] = 3 + i % 4;
        dy[i] = 5 - i % 3;
    }
    for (frame = 0; frame < frames; frame++) {
        for (i = 0; i < BALLS; i++) {
            if (balls[i]->x + dx[i] < 0 || balls[i]->x + dx[i] > 608)
                dx[i] = -dx[i];
            if (balls[i]->y + dy[i] < 0 || balls[i]->y + dy[i] > 448)
                dy[i] = -dy[i];
            balls[i]->x += dx[i];
            balls[i]->y += dy[i];
            balls[i]->flags |= 1;
        }
        sp_draw(-1, rect);
        update(rect);
        sleep(16);
    }
    i = BALLS - 1;
    drawn = getpixel(0, balls[i]->x + 16, balls[i]->y + 16) == 0xFFD040;
    log_out("sprites: %d balls, sp_count %d, last ball drawn %d", BALLS, getsystem("sp_count"), drawn);
    return 0;
}

/* Background music and two sound effects (DEMO.cfg turns "Sound" and
   "Music" on; the files come from tools/soundgen). The music loops on after
   main returns, until the window is closed. */
void play_sounds()
{
    midi_load("DEMO\\music.mid");
    midi_repeat(1);
    midi_play(0);
    snd_load(1, "DEMO\\jump.wav");
    snd_load(2, "DEMO\\coin.wav");
    snd_play(1, 0);
    sleep(250);
    snd_play(2, 0);
    sleep(400);
    log_out("qavz demo: music and sound effects");
}

int main()
{
    char line[128];
    int primes, waited, frames;

    log_out("qavz demo: starting");
    if (thd_begin(worker, 1000, 0, 0) < 0)
        log_out("could not start the worker thread");

    primes = count_primes(10000);
    log_out("primes below 10000: %d", primes);
    log_out("fib(20) = %d", fib(20));

    sprintf(line, "%d primes, fib(20) = %d", primes, fib(20));
    log_out("sprintf wrote \"%s\" (%d bytes)", line, strlen(line));

    for (waited = 0; !worker_done && waited < 100; waited++)
        sleep(10);
    log_out("worker thread: sum of squares below 1000 = %d", worker_sum);

    play_sounds();
    frames = ini_geti("Demo", "Frames", 90);
    picture(frames);
    bounce(frames / 2);

    log_out("qavz demo: done");
    return primes;
}
