/* The bundled demo title. It opens a 640 x 480 window, runs a few pieces of
   work on two script threads and reports them through the debug log (shown on
   standard output when headless or with DebugMode on), then ends; the window
   stays open until it is closed. Headless, the runtime ends with it. */
// expect: qavz demo: starting
// expect: primes below 10000: 1229
// expect: fib(20) = 6765
// expect: sprintf wrote "1229 primes, fib(20) = 6765" (27 bytes)
// expect: worker thread: sum of squares below 1000 = 332833500
// expect: qavz demo: done
// result: 1229
#include "natives.h"

char sieve[10000];
int worker_done;
int worker_sum;

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

int main()
{
    char line[128];
    int primes, waited;

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

    log_out("qavz demo: done");
    return primes;
}
