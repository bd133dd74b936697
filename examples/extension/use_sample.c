/* use_sample.c: calls the sample extension library. Build the library
   first (see sample.c), then run from the top of the tree:
     qavz run --headless examples/extension/use_sample.c */
// expect: loaded 0
// expect: mul_add 47
// expect: sum 100
// expect: upper 5 HELLO
// expect: width 640
// expect: missing 0 -1
#include "../../include/natives.h"

int values[4];
char word[8];

int main()
{
	int lib;
	lib = dll_load("sample.dll");
	log_out("loaded %d", lib);
	log_out("mul_add %d", dll_call(dll_proc(lib, "mul_add"), 6, 7, 5));
	values[0] = 10; values[1] = 20; values[2] = 30; values[3] = 40;
	log_out("sum %d", dll_call(dll_proc(lib, "sum_ints"), values, 4));
	strcpy(word, "hello");
	log_out("upper %d %s", dll_call(dll_proc(lib, "upper"), word), word);
	log_out("width %d", dll_call(dll_proc(lib, "screen_width")));
	log_out("missing %d %d", dll_proc(lib, "no_such_function"), dll_load("no_such_library.dll"));
	dll_unload(lib);
	return 0;
}
