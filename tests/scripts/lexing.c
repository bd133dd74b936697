// Lexing: numbers, character constants, escapes, strings, comments, operators.
// expect: 31 31 5 10
// expect: 65 10 65 65 65
// expect: abcd 5
// expect: 2 3
// expect: 16
// expect: 33440
// result: 0
#include "../../include/natives.h"
/* a comment /* nested inside */ still a comment */
int main()
{
	int a, b, c;
	char text[8];
	log_out("%d %d %d %d", 0x1F, 0X1f, 0b101, 010);
	log_out("%d %d %d %d %d", 'A', '\n', '\x41', '\0101', '\65');
	strcpy(text, "ab" "cd");
	log_out("%s %d", text, sizeof("ab" "cd"));   // one zero byte
	a = 1; b = 2;
	c = a+++b;
	log_out("%d %d", a, c);
	c = 64; c >>= 2;
	log_out("%d", c);
	log_out("%d", '‚ ');   // a double-byte character: lead * 256 + trail
	return 0;
}
