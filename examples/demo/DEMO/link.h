/* link.h: two copies of the demo playing together over TCP, included by
   DEMO.c. Section [Demo] of the configuration chooses: "Port" 0 plays
   alone; otherwise a copy whose "Join" is empty serves on that port and is
   player 1, and a copy whose "Join" names the serving copy's address
   (127.0.0.1 on one machine) joins it as player 2.

   Both copies run the same game in step: every frame each sends the other
   a record of its own player's input, waits for the other's record, then
   both move both players with the same two inputs, so the stars and comets
   stay the same on both screens. A record also says where its sender sees
   its own player, which shows at once if the copies drift apart. */

/* A record: 7 ints, in this order. */
#define R_FRAME 0 /* the frame the input is for */
#define R_INPUT 1 /* the 4 ints of the input (IN_X, IN_Y, IN_BUTTONS, IN_TOUCHED) */
#define R_X 5     /* the sender's player, x and y */
#define R_Y 6
#define RECORD 7
#define RECORD_BYTES 28

int networked;       /* [Demo] asked for two players */
int me;              /* this copy's player: 0 serves or plays alone, 1 joins */
int linked;          /* 1 while the other copy plays along */
int inbox[RECORD];   /* the other copy's next record, as far as it has come */
int inbox_bytes;
int sent, sent_sum;  /* records sent, and a sum of their inputs */
int got, got_sum;    /* records received, and the same sum */
int out_of_step;     /* records whose sender's player was not where ours was */

/* Opens the session that the configuration asks for and sets `networked`.
   Nothing is waited for here: the other copy may come later. */
int link_open()
{
    char host[256];
    int port;
    port = ini_geti("Demo", "Port", 0);
    if (port <= 0)
        return 0;
    /* Each copy must run on while the other's window has the focus. */
    setsystem("pause", 0);
    ini_gets("Demo", "Join", "", host, 256);
    if (host[0] == 0) {
        if (!net_open(0, port)) {
            log_out("two players: cannot serve on port %d, playing alone", port);
            return 0;
        }
        log_out("two players: serving on port %d", port);
    } else {
        me = 1;
        net_open(host, port);
        log_out("two players: joining %s on port %d", host, port);
    }
    networked = 1;
    return 1;
}

/* 1 once the other copy is connected, -1 when it never will be. */
int link_state()
{
    char nothing[4];
    if (me == 0)
        return net_send(0, nothing, 0) == 0; /* client 0 is there */
    return net_state() == 1 ? 1 : net_state() == 0 ? -1 : 0;
}

/* Waits up to `seconds` for the other copy to be connected (Esc gives up)
   and sets `linked`. */
void link_wait(int seconds)
{
    int waited, state;
    state = 0;
    for (waited = 0; waited < seconds * 100 && state == 0; waited++) {
        if (key_get() == 27)
            break;
        state = link_state();
        sleep(10);
    }
    linked = state == 1;
    log_out(linked ? "two players: the other copy is here" : "two players: nobody came, playing alone");
    if (!linked) {
        link_close();
        me = 0; /* alone, this copy's player is the first */
    }
}

/* Ends the session. The serving copy lets the other one close first (for
   up to 2 seconds): it closes what it served with a reset, which the other
   copy would report as an error. */
void link_close()
{
    int waited;
    for (waited = 0; me == 0 && waited < 200 && link_state() == 1; waited++)
        sleep(10);
    net_close();
}

int input_sum(int *in)
{
    return in[IN_X] + in[IN_Y] * 3 + in[IN_BUTTONS] * 7 + in[IN_TOUCHED] * 11;
}

/* Reads what has come of the other copy's next record: 1 once it is whole,
   0 while part of it is missing, -1 when the connection has gone. */
int receive_record()
{
    int r;
    r = net_recv(0, (char *)inbox + inbox_bytes, RECORD_BYTES - inbox_bytes);
    if (r < 0)
        return -1;
    inbox_bytes += r;
    return inbox_bytes == RECORD_BYTES;
}

/* Sends this copy's input for frame t and waits up to about `limit`
   milliseconds for the other copy's, which it copies to `theirs`. 0 when the
   other copy has gone: it closed, quit or stopped answering. */
int exchange(int t, int *mine, int *theirs, int limit)
{
    int rec[RECORD], i, whole, waited, other;
    other = 1 - me;
    rec[R_FRAME] = t;
    for (i = 0; i < 4; i++)
        rec[R_INPUT + i] = mine[i];
    rec[R_X] = px[me];
    rec[R_Y] = py[me];
    if (net_send(0, rec, RECORD_BYTES) != RECORD_BYTES)
        return 0;
    sent++;
    sent_sum += input_sum(mine);
    whole = receive_record();
    for (waited = 0; whole == 0 && waited < limit; waited++) {
        sleep(1);
        whole = receive_record();
    }
    if (whole != 1 || inbox[R_FRAME] != t)
        return 0;
    inbox_bytes = 0;
    for (i = 0; i < 4; i++)
        theirs[i] = inbox[R_INPUT + i];
    got++;
    got_sum += input_sum(theirs);
    if (inbox[R_X] != px[other] || inbox[R_Y] != py[other])
        out_of_step++;
    return (theirs[IN_BUTTONS] & IN_QUIT) == 0;
}

/* The other copy has gone: its player leaves the field. */
void link_lost(int *theirs)
{
    linked = 0;
    lives[1 - me] = 0;
    theirs[IN_X] = theirs[IN_Y] = theirs[IN_BUTTONS] = theirs[IN_TOUCHED] = 0;
    log_out("two players: the other copy has gone");
    link_close();
}

/* What both copies must agree on once they have played together. */
void link_report()
{
    log_out("two players: sent %d inputs (sum %d), got %d (sum %d), %d out of step", sent, sent_sum, got, got_sum,
            out_of_step);
    log_out("two players: scores %d and %d, lives %d and %d, at %d,%d and %d,%d", score[0], score[1], lives[0],
            lives[1], px[0] / UNIT, py[0] / UNIT, px[1] / UNIT, py[1] / UNIT);
}
