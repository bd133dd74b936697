// The formatter behind sprintf and log_out: flags, widths, precisions, size
// prefixes and conversions, one 32-bit slot per argument; sprintf counts the
// characters of its result as mbslen does.
// expect: n=0042|ab |BEEF|-7
// expect: 50% done
// expect: plain line
// expect:    x|x   |%|A
// expect: still shown
// expect: strings_format: 78 checks, 0 failed
// result: 0
#include "natives.h"
#include "check.h"

char buf[256];

// sprintf into buf; the result checked against the text's character count
int fmt(char *what, char *want, int got)
{
	eqs(what, buf, want);
	return eq(what, got, mbslen(want));
}

int integers()
{
	fmt("d", "42", sprintf(buf, "%d", 42));
	fmt("d negative", "-42", sprintf(buf, "%d", -42));
	fmt("i", "-3", sprintf(buf, "%i", -3));
	fmt("width", "   42", sprintf(buf, "%5d", 42));
	fmt("left", "42   |", sprintf(buf, "%-5d|", 42));
	fmt("zeros", "00042", sprintf(buf, "%05d", 42));
	fmt("zeros negative", "-0042", sprintf(buf, "%05d", -42));
	fmt("plus", "+5 -5", sprintf(buf, "%+d %+d", 5, -5));
	fmt("space", " 5", sprintf(buf, "% d", 5));
	fmt("precision", "005", sprintf(buf, "%.3d", 5));
	fmt("x", "ff", sprintf(buf, "%x", 255));
	fmt("X", "FF", sprintf(buf, "%X", 255));
	fmt("alt x", "0xff", sprintf(buf, "%#x", 255));
	fmt("o", "10", sprintf(buf, "%o", 8));
	fmt("u", "4294967295", sprintf(buf, "%u", -1));
	fmt("x negative", "ffffffff", sprintf(buf, "%x", -1));
	fmt("min", "-2147483648", sprintf(buf, "%d", -2147483647 - 1));
	fmt("h", "4464", sprintf(buf, "%hd", 70000));
	fmt("hu", "65535", sprintf(buf, "%hu", -1));
	fmt("l", "123456", sprintf(buf, "%ld", 123456));
	fmt("star width", "    7", sprintf(buf, "%*d", 5, 7));
	fmt("star left", "7  |", sprintf(buf, "%-*d|", 3, 7));
	return 0;
}

int texts()
{
	char *kana;
	kana = "\x82\xA0\x82\xA2";
	fmt("s", "abc", sprintf(buf, "%s", "abc"));
	fmt("s width", "  abc", sprintf(buf, "%5s", "abc"));
	fmt("s left", "abc  |", sprintf(buf, "%-5s|", "abc"));
	fmt("s precision", "ab", sprintf(buf, "%.2s", "abcdef"));
	fmt("s star precision", "abc", sprintf(buf, "%.*s", 3, "abcdef"));
	fmt("c", "A", sprintf(buf, "%c", 'A'));
	fmt("c width", "  z", sprintf(buf, "%3c", 'z'));
	fmt("percent", "100%", sprintf(buf, "%d%%", 100));
	fmt("no directive", "plain", sprintf(buf, "plain"));
	fmt("empty", "", sprintf(buf, ""));
	fmt("s of 0", "(null)", sprintf(buf, "%s", 0));
	// one slot each, in order
	fmt("slots", "1 two 3 f", sprintf(buf, "%d %s %d %c", 1, "two", 3, 'f'));
	fmt("many", "1 2 3 4 5 6 7 8",
		sprintf(buf, "%d %d %d %d %d %d %d %d", 1, 2, 3, 4, 5, 6, 7, 8));
	// the result counts characters: two double-byte characters give 2
	eq("kana count", sprintf(buf, "%s", kana), 2);
	eqb("kana bytes", buf, "\x82\xA0\x82\xA2\0", 5);
	eq("kana and ascii", sprintf(buf, "%s!%d", kana, 10), 5);
	// a lead byte at the end is not a character
	eq("lead byte at the end", sprintf(buf, "a%s", "\x82"), 1);
	eq("lead byte written", buf[1], 0x82 - 256);
	// widths count bytes
	eq("kana width", sprintf(buf, "%6s", kana), 4);
	eqb("kana width bytes", buf, "  \x82\xA0\x82\xA2\0", 7);
	return 0;
}

int terminates()
{
	memset(buf, 'x', 16);
	sprintf(buf, "%d", 7);
	eqb("terminator", buf, "7\0xx", 4);
	return 0;
}

int main()
{
	integers();
	texts();
	terminates();
	log_out("%s=%04d|%-3s|%X|%d", "n", 42, "ab", 48879, -7);
	log_out("%d%% done", 50);
	log_out("plain line");
	log_out("%4s|%-4s|%%|%c", "x", "x", 'A');
	log_clear();
	// standard output keeps what was written before
	log_out("still shown");
	return done("strings_format");
}
