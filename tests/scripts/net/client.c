// The client of a two-run session test: connecting then connected, ring
// limits, bytes both ways in order; then, with the server still running,
// a server of its own on the same port finds it in use.
// expect: net_client: 14 checks, 0 failed
#include "natives.h"
#include "check.h"
#include "port.h"

char big[10000];
char got[10000];

int pattern(char *p, int n, int seed)
{
	int i;
	for (i = 0; i < n; i++)
		p[i] = (i * 7 + seed + i / 256) & 255;
	return n;
}

int recv_all(char *p, int n)
{
	int done_, r, waits;
	done_ = 0;
	waits = 0;
	while (done_ < n && waits < 10000) {
		r = net_recv(0, p + done_, n - done_);
		if (r < 0)
			return done_;
		if (r == 0) {
			sleep(1);
			waits++;
		}
		done_ += r;
	}
	return done_;
}

// The server run may start a moment later: a refused attempt is tried again.
int connect()
{
	int tries, state, connecting;
	connecting = 1;
	for (tries = 0; tries < 200; tries++) {
		if (net_open("127.0.0.1", port) != 1)
			return 0;
		connecting = connecting && net_state() == 2;
		while ((state = net_state()) == 2)
			sleep(1);
		if (state == 1)
			return eq("connecting right after net_open", connecting, 1);
		sleep(25);
	}
	return 0;
}

int main()
{
	int queued, r, waits;
	if (!yes("connected", connect()))
		return done("net_client");
	eq("state", net_state(), 1);

	pattern(big, 10000, 3);
	eq("10000 bytes", recv_all(got, 10000), 10000);
	eqb("in order", got, big, 10000);
	eq("nothing more", net_recv(0, got, 100), 0);

	pattern(big, 10000, 11);
	queued = net_send(3, big, 10000);
	eq("an empty ring takes 8191, whatever the number", queued, 8191);
	waits = 0;
	while (queued < 10000 && waits < 10000) {
		r = net_send(0, big + queued, 10000 - queued);
		if (r == 0) {
			sleep(1);
			waits++;
		}
		queued += r;
	}
	eq("all queued", queued, 10000);
	eq("bye", net_send(0, "bye", 3), 3);
	sleep(100);
	eq("close", net_close(), 1);
	eq("closed", net_state(), 0);
	eq("send after close", net_send(0, "x", 1), -1);
	eq("port in use", net_open(0, port), 0);
	eq("no session", net_state(), 0);
	return done("net_client");
}
