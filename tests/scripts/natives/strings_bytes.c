// Byte strings: strlen, strcpy, strcat, strcmp, strcmpi, strlwr, strupr,
// strcut, strchr and atoi.
// expect: strings_bytes: 61 checks, 0 failed
// result: 0
#include "natives.h"
#include "check.h"

// two double-byte characters and the letter A
char *kana = "\x82\xA0\x82\xA2\x41";

int lengths_and_copies()
{
	char buf[64];
	eq("strlen abc", strlen("abc"), 3);
	eq("strlen empty", strlen(""), 0);
	eq("strlen kana", strlen(kana), 5);
	eq("strcpy gives dst", strcpy(buf, "hello"), buf);
	eqs("strcpy text", buf, "hello");
	strcpy(buf, "");
	eqs("strcpy empty", buf, "");
	eq("strcat gives dst", strcat(buf, "ab"), buf);
	strcat(buf, "cd");
	strcat(buf, "");
	eqs("strcat text", buf, "abcd");
	eq("strcat length", strlen(buf), 4);
	strcpy(buf, kana);
	eqb("strcpy copies the terminator", buf, "\x82\xA0\x82\xA2\x41\0", 6);
	return 0;
}

int comparisons()
{
	eq("strcmp equal", strcmp("abc", "abc"), 0);
	eq("strcmp less", sign(strcmp("abc", "abd")), -1);
	eq("strcmp greater", sign(strcmp("abd", "abc")), 1);
	eq("strcmp prefix", sign(strcmp("ab", "abc")), -1);
	eq("strcmp longer", sign(strcmp("abc", "ab")), 1);
	eq("strcmp empty", sign(strcmp("", "a")), -1);
	// the locale's order is alphabetical, not by byte value
	eq("strcmp a B", sign(strcmp("a", "B")), -1);
	eq("strcmp B a", sign(strcmp("B", "a")), 1);
	eq("strcmp lower case first", sign(strcmp("abc", "ABC")), -1);
	eq("strcmp a A", sign(strcmp("A", "a")), 1);
	eq("strcmpi equal", strcmpi("abc", "ABC"), 0);
	eq("strcmpi mixed", strcmpi("HeLLo", "hEllO"), 0);
	eq("strcmpi less", sign(strcmpi("abc", "ABD")), -1);
	eq("strcmpi greater", sign(strcmpi("Zeta", "alpha")), 1);
	eq("strcmpi prefix", sign(strcmpi("AB", "abc")), -1);
	return 0;
}

int case_changes()
{
	char buf[32];
	strcpy(buf, "Hello, World 09!");
	eq("strlwr gives s", strlwr(buf), buf);
	eqs("strlwr text", buf, "hello, world 09!");
	eq("strupr gives s", strupr(buf), buf);
	eqs("strupr text", buf, "HELLO, WORLD 09!");
	// byte by byte: a trail byte in the letter range changes too
	strcpy(buf, "\x82\x61x");
	strupr(buf);
	eqb("strupr trail byte", buf, "\x82\x41X\0", 4);
	strcpy(buf, "\x83\x5AZ");
	strlwr(buf);
	eqb("strlwr trail byte", buf, "\x83\x7Az\0", 4);
	strcpy(buf, "\xC1Z");
	strlwr(buf);
	eqb("strlwr letters only", buf, "\xC1z\0", 3);
	return 0;
}

int cuts()
{
	char buf[32];
	strcpy(buf, "junk");
	eq("strcut gives dst", strcut(buf, "abc", 2, 10), buf);
	eqs("strcut 2 10", buf, "c");
	strcut(buf, "abc", 3, 10);
	eqs("strcut at the end", buf, "");
	strcpy(buf, "junk");
	strcut(buf, "abc", 4, 10);
	eqs("strcut past the end", buf, "");
	strcut(buf, "hello", 1, 3);
	eqs("strcut 1 3", buf, "ell");
	strcut(buf, "hello", 0, 5);
	eqs("strcut whole", buf, "hello");
	strcut(buf, "hello", 0, 0);
	eqs("strcut none", buf, "");
	strcpy(buf, "xxxxxxxx");
	strcut(buf, "hello", 3, 1);
	eqb("strcut terminates", buf, "l\0xxxxxx", 8);
	return 0;
}

int searches()
{
	char *s;
	s = "hello";
	eq("strchr first", strchr(s, 'l'), s + 2);
	eq("strchr h", strchr(s, 'h'), s);
	eq("strchr none", strchr(s, 'z'), 0);
	eq("strchr terminator", strchr(s, 0), s + 5);
	// a trail byte is found as a byte
	eq("strchr trail byte", strchr(kana, 0xA2), kana + 3);
	eq("strchr lead byte", strchr(kana, 0x82), kana);
	return 0;
}

int numbers()
{
	eq("atoi plain", atoi("123"), 123);
	eq("atoi spaces and sign", atoi("  -42abc"), -42);
	eq("atoi plus", atoi("+7"), 7);
	eq("atoi white space", atoi("\t\n 12"), 12);
	eq("atoi letters", atoi("abc"), 0);
	eq("atoi empty", atoi(""), 0);
	eq("atoi sign alone", atoi("-"), 0);
	eq("atoi space after sign", atoi("- 5"), 0);
	eq("atoi zeros", atoi("007"), 7);
	eq("atoi max", atoi("2147483647"), 2147483647);
	eq("atoi min", atoi("-2147483648"), -2147483647 - 1);
	eq("atoi wraps", atoi("4294967297"), 1);
	eq("atoi stops at dot", atoi("3.9"), 3);
	eq("atoi no hexadecimal", atoi("0x10"), 0);
	eq("atoi two signs", atoi("+-5"), 0);
	return 0;
}

int main()
{
	lengths_and_copies();
	comparisons();
	case_changes();
	cuts();
	searches();
	numbers();
	return done("strings_bytes");
}
