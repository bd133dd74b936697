// Without debug mode the bridge does not count arguments: extra words are
// ignored and the program runs on.
// expect: rand 1
// expect: abs 5
// result: 0
#include "natives.h"
int main()
{
	log_out("rand %d", rand(7, 8) >= 0);
	log_out("abs %d", abs(-5, 1, 2));
	return 0;
}
