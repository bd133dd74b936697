// Network bench, client side: sends `total` bytes as fast as the session
// takes them, then times `trips` round trips of a 16-byte message that the
// server script echoes. Prints one line per round trip.
#include "natives.h"
#include "bench_net.h"

char buf[8192];

int connect()
{
	int tries;
	for (tries = 0; tries < 400; tries++) {
		if (net_open("127.0.0.1", port) != 1)
			return 0;
		while (net_state() == 2)
			sleep(1);
		if (net_state() == 1)
			return 1;
		sleep(25);
	}
	return 0;
}

int main()
{
	int sent, r, n, i, got;
	if (!connect()) {
		log_out("connect failed");
		return 1;
	}
	for (i = 0; i < 8192; i++)
		buf[i] = i * 7;
	sent = 0;
	while (sent < total) {
		n = total - sent;
		if (n > 8192)
			n = 8192;
		r = net_send(0, buf, n);
		if (r < 0)
			break;
		if (r == 0) {
			sleep(1);
			continue;
		}
		sent += r;
	}
	log_out("sent %d", sent);
	// Let the bulk drain before timing messages behind it.
	sleep(500);
	for (i = 0; i < trips; i++) {
		setcount(1, 0);
		net_send(0, "0123456789abcdef", 16);
		got = 0;
		while (got < 16) {
			r = net_recv(0, buf, 16 - got);
			if (r < 0)
				break;
			got += r;
		}
		log_out("rt %d", getcount(1));
		// Start the next one at another point of the poll period.
		sleep(i % 7);
	}
	net_close();
	return 0;
}
