// Network bench, server side (bench/net_throughput.cpp runs it): receives
// `total` bytes as fast as the session moves them, then echoes every byte
// of the round trips back at once. bench_net.h gives port, total, trips.
#include "natives.h"
#include "bench_net.h"

char buf[8192];

int main()
{
	int got, r, n, waits;
	if (net_open(0, port) != 1) {
		log_out("open failed");
		return 1;
	}
	waits = 0;
	while (net_send(0, buf, 0) < 0 && waits < 30000) {
		sleep(1);
		waits++;
	}
	got = 0;
	while (got < total) {
		r = net_recv(0, buf, 8192);
		if (r < 0)
			break;
		if (r == 0) {
			sleep(1);
			continue;
		}
		if (got == 0)
			setcount(0, 0);
		got += r;
	}
	log_out("received %d %d", got, getcount(0));
	n = 0;
	while (n < trips * 16) {
		r = net_recv(0, buf, 16);
		if (r < 0)
			break;
		if (r > 0) {
			net_send(0, buf, r);
			n += r;
		}
	}
	log_out("echoed %d", n);
	sleep(200);
	net_close();
	return 0;
}
