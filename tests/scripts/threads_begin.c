// thd_begin: a thread started suspended runs after one thd_resume; resuming
// a thread that is not suspended gives 0; invalid indices fail; a sleeping
// thread holds while another runs.
// expect: started 1 seen 0
// expect: resume 0 seen 7
// expect: resume again 0
// expect: invalid -1 -1 0 0
// expect: counter ran 1
// expect: end 1
// result: 3
#include "../../include/natives.h"
int seen;
int count;
int stop;
void worker(int arg)
{
	seen = arg;
}
void counter(int arg)
{
	while (!stop) {
		count++;
		sleep(0);
	}
}
int main()
{
	int t, before;
	t = thd_begin(worker, 7, 1, 100);
	sleep(50);
	log_out("started %d seen %d", t, seen);
	before = thd_resume(t);
	sleep(50);
	log_out("resume %d seen %d", before, seen);
	log_out("resume again %d", thd_resume(t));
	log_out("invalid %d %d %d %d", thd_suspend(32), thd_resume(-1), thd_end(40), thd_end(5));
	t = thd_begin(counter, 0, 0, 0);
	before = count;
	sleep(100);
	log_out("counter ran %d", count > before + 5);
	log_out("end %d", thd_end(t));
	return 3;
}
