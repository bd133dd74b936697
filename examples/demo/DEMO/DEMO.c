/* The bundled demo title. It opens a 640 x 480 window, runs a few pieces of
   work on two script threads and reports them through the debug log (shown
   on standard output when headless or with DebugMode on), starts MIDI
   music and two sound effects, bounces balls over a background with the
   sprite system for half of "Frames" frames of section [Demo] of the
   configuration (90 when absent), fades them out with two image filters,
   then plays a small game: catch the stars (a coin sounds and the screen
   ripples), dodge the comets (a hit sounds), with the keyboard, a game pad
   or the mouse; a lost game whirls away (effects.h). Two copies can play it
   together over TCP ("Port" and "Join" of [Demo], link.h). It ends on Esc,
   or once nobody has played for "Frames" frames (the game plays itself
   meanwhile); the window stays open, showing the last frame, until it is
   closed. Headless, the runtime ends with the program. The game runs while
   no other script thread runs: with several running, each thread gives the
   processor away after every slice. */
// expect: qavz demo: starting
// expect: primes below 10000: 1229
// expect: fib(20) = 6765
// expect: sprintf wrote "1229 primes, fib(20) = 6765" (27 bytes)
// expect: worker thread: sum of squares below 1000 = 332833500
// expect: qavz demo: music and sound effects
// expect: sprites: 8 balls, sp_count 8, last ball drawn 1
// expect: scene change: the balls faded out through blur and monotone
// expect: game: 90 frames, 3 stars caught, 90 shown through effects
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

/* The plane the game draws on (the canvas of effects.h): width, height,
   depth, the address of pixel (0, 0) and the step from one row to the next
   one down. */
int page[5];

#include "effects.h"

/* Writes one pixel of the canvas straight into its memory. */
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

void box(int left, int top, int right, int bottom, int rgb)
{
    int r[4];
    r[0] = left;
    r[1] = top;
    r[2] = right;
    r[3] = bottom;
    gfill(canvas, r, rgb);
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
    gtext(canvas, 40 + (sin(t * 10) * 60 >> 16), page[1] - 56, 0xFF,
          "qavz \x82\xCC\x90\xA2\x8A\x45\x82\xD6\x82\xE6\x82\xA4\x82\xB1\x82\xBB");
    font_use(2);
    gtext(canvas, 40, page[1] - 140, 0xFF, "\x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x95\xB6\x8E\x9A");
    font_use(0);
}

/* The background: colour bands drifting down and a slowly turning star of
   lines. */
void draw_background(int t)
{
    int i, c, a, cx, cy;
    for (i = 0; i < 16; i++) {
        c = (sin(t * 8 + i * 128) >> 11) + 32;
        box(0, i * page[1] / 16, page[0], (i + 1) * page[1] / 16, ((c / 2 + 8) << 16) | ((c / 3) << 8) | (c + 30));
    }
    cx = page[0] / 2;
    cy = page[1] / 2;
    for (i = 0; i < 24; i++) {
        a = t * 3 + i * 2048 / 24;
        gline(canvas, cx, cy, cx + (cos(a) * 300 >> 16), cy + (sin(a) * 300 >> 16), 0x403828);
    }
}

/* Seven-segment digits for the score: segments a to g as bits 0 to 6. */
int segments[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};

void draw_digit(int x, int y, int d, int rgb)
{
    int s;
    s = segments[d];
    if (s & 1)
        box(x, y, x + 12, y + 2, rgb);
    if (s & 2)
        box(x + 10, y, x + 12, y + 10, rgb);
    if (s & 4)
        box(x + 10, y + 10, x + 12, y + 20, rgb);
    if (s & 8)
        box(x, y + 18, x + 12, y + 20, rgb);
    if (s & 16)
        box(x, y + 10, x + 2, y + 20, rgb);
    if (s & 32)
        box(x, y, x + 2, y + 10, rgb);
    if (s & 64)
        box(x, y + 9, x + 12, y + 11, rgb);
}

void draw_number(int x, int y, int n, int rgb)
{
    int digits[10], count;
    count = 0;
    do {
        digits[count++] = n % 10;
        n /= 10;
    } while (n > 0 && count < 10);
    while (count > 0) {
        draw_digit(x, y, digits[--count], rgb);
        x += 16;
    }
}

/* The game: catch the stars, dodge the comets. Positions are in 1/16
   pixels. player_input() is where this computer's player's wishes come
   from; a second player's come from another copy (link.h). */
#define MAX_PLAYERS 2
#define STARS 5
#define COMETS 8
#define UNIT 16
#define PLAYER_R 14
#define STAR_R 8
#define COMET_R 9

/* What a player asks for in one frame. */
#define IN_X 0       /* -1000 (left) .. 1000 (right) */
#define IN_Y 1       /* -1000 (up) .. 1000 (down) */
#define IN_BUTTONS 2 /* the IN_ bits below */
#define IN_TOUCHED 3 /* 1 when a person did anything this frame */
#define IN_DASH 1
#define IN_QUIT 2
#define IN_PAUSE 4

int players;
int px[MAX_PLAYERS], py[MAX_PLAYERS], lives[MAX_PLAYERS], score[MAX_PLAYERS], safe[MAX_PLAYERS];
int sx[STARS], sy[STARS];
int cx[COMETS], cy[COMETS], cvx[COMETS], cvy[COMETS];
int comets;
int caught;    /* stars caught, all games together */
int keymode;   /* the configuration's "Input": key numbers are scan codes */
int point[4];  /* the pointer: x, y, wheel, flags */
int last_x, last_y;

/* Key numbers of the key-state array, as virtual keys and as scan codes:
   left, right, up, down, A, D, W, S, space, left shift. */
int vk_keys[10] = {0x25, 0x27, 0x26, 0x28, 0x41, 0x44, 0x57, 0x53, 0x20, 0xA0};
int scan_keys[10] = {0xCB, 0xCD, 0xC8, 0xD0, 0x1E, 0x20, 0x11, 0x1F, 0x39, 0x2A};

int held(char *keys, int which)
{
    if (keymode)
        return keys[scan_keys[which]] & 0x80;
    return keys[vk_keys[which]] & 0x80;
}

/* Two copies playing together. */
#include "link.h"

int clamp(int v, int low, int high)
{
    return v < low ? low : v > high ? high : v;
}

/* This computer's player: keyboard (arrows or WASD, space or shift to
   dash, Esc to stop, P to pause), the first game pad (stick or d-pad,
   button 1 to dash, button 8 to pause) and the mouse (hold the left
   button to steer towards the pointer, right button to dash). */
void player_input(int p, int *in)
{
    char keys[256];
    int joy[3], c, dx, dy;
    in[IN_X] = in[IN_Y] = in[IN_BUTTONS] = in[IN_TOUCHED] = 0;
    while ((c = key_get()) != 0) {
        in[IN_TOUCHED] = 1;
        if (c == 27)
            in[IN_BUTTONS] |= IN_QUIT;
        if (c == 'p' || c == 'P')
            in[IN_BUTTONS] |= IN_PAUSE;
    }
    if (getkey(keys)) {
        if (held(keys, 0) || held(keys, 4))
            in[IN_X] -= 1000;
        if (held(keys, 1) || held(keys, 5))
            in[IN_X] += 1000;
        if (held(keys, 2) || held(keys, 6))
            in[IN_Y] -= 1000;
        if (held(keys, 3) || held(keys, 7))
            in[IN_Y] += 1000;
        if (held(keys, 8) || held(keys, 9))
            in[IN_BUTTONS] |= IN_DASH;
    }
    if (getjoy(0, joy)) {
        in[IN_X] += joy[0];
        in[IN_Y] += joy[1];
        if (joy[2] & 1)
            in[IN_BUTTONS] |= IN_DASH;
        if (joy[2] & 0x80)
            in[IN_BUTTONS] |= IN_PAUSE;
    }
    getpoint(point);
    getpoint(0);
    if (point[3] & 1) {
        dx = point[0] - px[p] / UNIT;
        dy = point[1] - py[p] / UNIT;
        if (dx * dx + dy * dy > 16) {
            in[IN_X] += clamp(dx * 40, -1000, 1000);
            in[IN_Y] += clamp(dy * 40, -1000, 1000);
        }
    }
    if (point[3] & 0x20002)
        in[IN_BUTTONS] |= IN_DASH;
    if (in[IN_X] || in[IN_Y] || in[IN_BUTTONS] || point[3] || point[2] || point[0] != last_x ||
        point[1] != last_y)
        in[IN_TOUCHED] = 1;
    last_x = point[0];
    last_y = point[1];
    in[IN_X] = clamp(in[IN_X], -1000, 1000);
    in[IN_Y] = clamp(in[IN_Y], -1000, 1000);
}

/* While nobody plays, the player steers itself towards the nearest star. */
void autopilot(int p, int *in)
{
    int i, best, d, dx, dy, bx, by;
    best = -1;
    for (i = 0; i < STARS; i++) {
        dx = (sx[i] - px[p]) / UNIT;
        dy = (sy[i] - py[p]) / UNIT;
        d = dx * dx + dy * dy;
        if (best < 0 || d < best) {
            best = d;
            bx = dx;
            by = dy;
        }
    }
    in[IN_X] = clamp(bx * 20, -1000, 1000);
    in[IN_Y] = clamp(by * 20, -1000, 1000);
}

void place_star(int i)
{
    sx[i] = (STAR_R + 20 + rand() % (page[0] - 2 * STAR_R - 40)) * UNIT;
    sy[i] = (STAR_R + 40 + rand() % (page[1] - 2 * STAR_R - 60)) * UNIT;
}

/* A comet comes in from a corner, faster as the score grows. */
void place_comet_at(int i, int right, int bottom)
{
    int speed;
    speed = 24 + comets * 4;
    cx[i] = right ? (page[0] - 20) * UNIT : 20 * UNIT;
    cy[i] = bottom ? (page[1] - 20) * UNIT : 40 * UNIT;
    cvx[i] = right ? -speed : speed;
    cvy[i] = (bottom ? -speed : speed) * (2 + (i & 1)) / 4;
}

/* A new comet comes from the corner farthest from the first player. */
void place_comet(int i)
{
    place_comet_at(i, px[0] < page[0] / 2 * UNIT, py[0] < page[1] / 2 * UNIT);
}

void new_game()
{
    int i;
    for (i = 0; i < players; i++) {
        px[i] = (page[0] / 2 + i * 60) * UNIT;
        py[i] = page[1] / 2 * UNIT;
        lives[i] = 3;
        score[i] = 0;
        safe[i] = 120;
    }
    for (i = 0; i < STARS; i++)
        place_star(i);
    comets = 2;
    for (i = 0; i < COMETS; i++)
        place_comet_at(i, i & 1, i & 2);
}

int near(int ax, int ay, int bx, int by, int r)
{
    int dx, dy;
    dx = (ax - bx) / UNIT;
    dy = (ay - by) / UNIT;
    return dx * dx + dy * dy < r * r;
}

/* One frame of player p with what it asked for. */
void move_player(int p, int *in)
{
    int speed, i;
    if (lives[p] <= 0)
        return;
    speed = (in[IN_BUTTONS] & IN_DASH) ? 9 : 5;
    px[p] = clamp(px[p] + in[IN_X] * speed * UNIT / 1000, PLAYER_R * UNIT, (page[0] - PLAYER_R) * UNIT);
    py[p] = clamp(py[p] + in[IN_Y] * speed * UNIT / 1000, (PLAYER_R + 28) * UNIT, (page[1] - PLAYER_R) * UNIT);
    for (i = 0; i < STARS; i++)
        if (near(px[p], py[p], sx[i], sy[i], PLAYER_R + STAR_R)) {
            score[p] += 10;
            caught++;
            snd_play(2, 0);
            drop(sx[i] / UNIT, sy[i] / UNIT, 40, 60);
            place_star(i);
            if (score[p] % 50 == 0 && comets < COMETS)
                place_comet(comets++);
        }
    if (safe[p] > 0) {
        safe[p]--;
        return;
    }
    for (i = 0; i < comets; i++)
        if (near(px[p], py[p], cx[i], cy[i], PLAYER_R + COMET_R)) {
            lives[p]--;
            snd_play(1, 0);
            safe[p] = 120;
            place_comet(i);
        }
}

void move_comets()
{
    int i;
    for (i = 0; i < comets; i++) {
        cx[i] += cvx[i];
        cy[i] += cvy[i];
        if (cx[i] < COMET_R * UNIT || cx[i] > (page[0] - COMET_R) * UNIT)
            cvx[i] = -cvx[i];
        if (cy[i] < (COMET_R + 28) * UNIT || cy[i] > (page[1] - COMET_R) * UNIT)
            cvy[i] = -cvy[i];
    }
}

/* `attract`: nobody has played for a while and the game plays itself. */
void draw_game(int t, int paused, int attract)
{
    int i, x, y, p;
    draw_background(t);
    box(0, 0, page[0], 28, 0x101018);
    for (i = 0; i < STARS; i++) {
        x = sx[i] / UNIT;
        y = sy[i] / UNIT;
        gline(canvas, x - STAR_R, y, x + STAR_R, y, 0xFFF060);
        gline(canvas, x, y - STAR_R, x, y + STAR_R, 0xFFF060);
        box(x - 3, y - 3, x + 4, y + 4, 0xFFFFC0);
    }
    for (i = 0; i < comets; i++) {
        x = cx[i] / UNIT;
        y = cy[i] / UNIT;
        gline(canvas, x, y, x - cvx[i] * 6 / UNIT, y - cvy[i] * 6 / UNIT, 0xC04020);
        box(x - COMET_R, y - COMET_R, x + COMET_R, y + COMET_R, 0xFF3018);
    }
    for (p = 0; p < players; p++) {
        /* Just hit (or just started): safe for a while, and blinking. */
        if (lives[p] > 0)
            draw_ball(px[p] / UNIT, py[p] / UNIT, PLAYER_R, safe[p] && (t & 4) ? 40 : p ? 80 : 220);
        draw_number(8 + p * 320, 4, score[p], p ? 0x80C0FF : 0xFFE080);
        for (i = 0; i < lives[p]; i++)
            box(page[0] - 20 - i * 16 - p * 320, 8, page[0] - 10 - i * 16 - p * 320, 18, 0x60FF60);
    }
    if (attract)
        draw_captions(t);
    if (paused) {
        box(page[0] / 2 - 30, page[1] / 2 - 40, page[0] / 2 - 10, page[1] / 2 + 40, 0xFFFFFF);
        box(page[0] / 2 + 10, page[1] / 2 - 40, page[0] / 2 + 30, page[1] / 2 + 40, 0xFFFFFF);
    }
}

int all_out()
{
    int p;
    for (p = 0; p < players; p++)
        if (lives[p] > 0)
            return 0;
    return 1;
}

/* A line of text over the background, shown at once. */
void show_banner(char *text)
{
    draw_background(0);
    font_use(1);
    gtext(canvas, 40, page[1] / 2 - 14, 0xFF, text);
    font_use(0);
    present();
    update(0);
}

/* Sleeps out the rest of the frame: 16 ms from the last call, about 60
   frames a second however long the frame's work took. */
void next_frame()
{
    int rest;
    rest = 16 - getcount(0);
    if (rest > 0)
        sleep(rest);
    setcount(0, 0);
}

/* Plays until Esc, or until nobody has touched anything for `idle_limit`
   frames (about 60 a second; meanwhile the game plays itself). After a game
   is lost it whirls away and a new one starts. Returns the frames played. */
int game(int idle_limit)
{
    int t, idle, paused, over, p, touched, shown, in[MAX_PLAYERS * 4];
    int *mine, *theirs;
    make_fonts();
    keymode = ini_geti("General", "Input", 0);
    srand(2024);
    key_init();
    getpoint(point);
    getpoint(0);
    last_x = point[0];
    last_y = point[1];
    if (networked) {
        show_banner(me ? "Joining the other copy..." : "Waiting for the other copy (Esc: play alone)");
        link_wait(me ? 10 : 60);
    }
    players = linked ? 2 : 1;
    for (p = 0; p < MAX_PLAYERS * 4; p++)
        in[p] = 0;
    new_game();
    drop(page[0] / 2, page[1] / 2, 160, 240);
    /* Each player's input: 4 ints from in + 4 * player. */
    mine = in + me * 4;
    theirs = in + (1 - me) * 4;
    idle = paused = over = shown = 0;
    setcount(0, 0);
    for (t = 0; idle < idle_limit; t++) {
        player_input(me, mine);
        if (!mine[IN_TOUCHED])
            autopilot(me, mine);
        /* At the first frame the other copy may still be bouncing balls. */
        if (linked && !exchange(t, mine, theirs, t == 0 ? 30000 : 5000))
            link_lost(theirs);
        if (mine[IN_BUTTONS] & IN_QUIT)
            break;
        touched = 0;
        for (p = 0; p < players; p++) {
            if (in[p * 4 + IN_BUTTONS] & IN_PAUSE)
                paused = !paused;
            touched |= in[p * 4 + IN_TOUCHED];
        }
        idle = touched ? 0 : idle + 1;
        if (!paused) {
            for (p = 0; p < players; p++)
                move_player(p, in + p * 4);
            move_comets();
            if (all_out() && ++over > 120) {
                new_game();
                over = 0;
                drop(page[0] / 2, page[1] / 2, 160, 240);
            }
            twist = over / 6;
        }
        draw_game(t, paused, idle > 60);
        shown += present();
        update(0);
        next_frame();
    }
    if (linked)
        link_close();
    if (sent > 0)
        link_report();
    log_out("game: %d frames, %d stars caught, %d shown through effects", t, caught, shown);
    return t;
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
    link_open();
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
    bounce(frames / 2);
    if (make_canvas()) {
        if (fade_out())
            log_out("scene change: the balls faded out through blur and monotone");
        game(frames);
    }

    log_out("qavz demo: done");
    return primes;
}
