// The server of a two-run session test (run_pair.sh starts the client as a
// second run): one client, ring limits, bytes both ways in order, the
// client's last bytes after it has gone, then the slot free.
// expect: net_server: 21 checks, 0 failed
#include "natives.h"
#include "check.h"
#include "port.h"

char big[10000];
char back[10000];

int pattern(char *p, int n, int seed)
{
	int i;
	for (i = 0; i < n; i++)
		p[i] = (i * 7 + seed + i / 256) & 255;
	return n;
}

// net_recv until n bytes have come or about 10 seconds have gone.
int recv_all(int client, char *p, int n)
{
	int got, r, waits;
	got = 0;
	waits = 0;
	while (got < n && waits < 10000) {
		r = net_recv(client, p + got, n - got);
		if (r < 0)
			return got;
		if (r == 0) {
			sleep(1);
			waits++;
		}
		got += r;
	}
	return got;
}

int main()
{
	int r, waits, queued, got;
	char three[8];
	eq("no session", net_state(), 0);
	eq("send without a session", net_send(0, "x", 1), -1);
	eq("recv without a session", net_recv(0, three, 1), -1);
	if (!eq("open", net_open(0, port), 1))
		return done("net_server");
	eq("running", net_state(), 1);
	// A slot that holds a client takes an empty send.
	waits = 0;
	while (net_send(0, big, 0) < 0 && waits < 10000) {
		sleep(1);
		waits++;
	}
	eq("client 0 came", net_send(0, big, 0), 0);
	eq("nothing from it yet", net_recv(0, three, 8), 0);
	eq("no client 1", net_send(1, "x", 1), -1);
	eq("no client 2", net_recv(2, three, 1), -1);
	eq("client 5", net_send(5, "x", 1), -1);
	eq("client -1", net_recv(-1, three, 1), -1);

	pattern(big, 10000, 3);
	queued = net_send(0, big, 10000);
	eq("an empty ring takes 8191", queued, 8191);
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

	pattern(big, 10000, 11);
	eq("back", recv_all(0, back, 10000), 10000);
	eqb("back in order", back, big, 10000);
	// The client says bye and goes; its bytes still come, then the slot is free.
	eq("bye", recv_all(0, three, 3), 3);
	eqb("bye bytes", three, "bye", 3);
	waits = 0;
	while ((r = net_recv(0, three, 8)) == 0 && waits < 10000) {
		sleep(1);
		waits++;
	}
	eq("slot free once read", r, -1);
	eq("send to it", net_send(0, "x", 1), -1);
	// The client now finds the port in use.
	sleep(1000);
	eq("close", net_close(), 1);
	eq("closed", net_state(), 0);
	return done("net_server");
}
