/* hello.c: the smallest program: a line in the log and a result.
   Run: qavz run --headless --result examples/hello.c */
// expect: hello from qavz, 6 * 7 = 42
// result: 42
#include "../include/natives.h"

int main()
{
	log_out("hello from qavz, %d * %d = %d", 6, 7, 6 * 7);
	return 42;
}
