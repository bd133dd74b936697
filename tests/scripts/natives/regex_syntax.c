// Regular expressions, the pattern language: alternation order, greedy and
// lazy repetition, braces, classes, escapes, groups and double-byte text.
// expect: regex_syntax: 111 checks, 0 failed
// result: 0
#include "natives.h"
#include "check.h"
#include "regex.h"

int alternation_and_repeats()
{
	// the first alternative that leads to a match wins
	mt("a|ab", "ab", "a");
	mt("ab|a", "ab", "ab");
	mt("(a|ab)c", "abc", "abc");
	mt("cat|dog", "hotdog", "dog");
	mt("a*?b", "aaab", "aaab");
	mt("<.*>", "<a><b>", "<a><b>");
	mt("<.*?>", "<a><b>", "<a>");
	mt("ab*", "abbbc", "abbb");
	mt("ab+", "abbbc", "abbb");
	mt("ab+?", "abbbc", "ab");
	mt("ab+", "ac", 0);
	mt("colou?r", "color", "color");
	mt("colou?r", "colour", "colour");
	mt("ab?", "ab", "ab");
	mt("ab??", "ab", "a");
	// an empty match at the first position is a match
	mt("x*", "yx", "");
	mt("a*?", "aaa", "");
	mt("a|", "b", "");
	mt("(a|b)*c", "abac", "abac");
	// an operator without an atom applies to nothing
	mt("*a", "xa", "a");
	mat("x*", "yx", 0, 0);
	return 0;
}

int braces()
{
	mt("x{2}", "xxx", "xx");
	mt("x{2,}", "xxxx", "xxxx");
	mt("x{0}", "xxx", "xxx");
	mt("x{1,2}", "xxx", "xx");
	mt("x{1,2}?", "xxx", "x");
	mt("x{2,3}", "x", 0);
	mt("x{2,3}", "xxxxx", "xxx");
	mt("x{0,1}y", "y", "y");
	mt("x{0,2}?y", "xxy", "xxy");
	mt("(ab){2}", "abababx", "abab");
	mt("x{2,}?", "xxxx", "xx");
	mt("x{,2}", "xxx", "xx");
	mt("x{0,}", "xxx", "xxx");
	// the pattern's end closes a brace
	mt("x{3", "xxxx", "xxx");
	return 0;
}

int classes_and_escapes()
{
	mt("[abc]+", "xxbcay", "bca");
	mt("[a-c]+", "zzcab!", "cab");
	mt("[^a-c]+", "abxyzc", "xyz");
	mt("[]a]+", "x]a]b", "]a]");
	mt("[^]a]+", "]]xy]", "xy");
	mt("[a-]+", "b-a-c", "-a-");
	mt("\\d+", "ab123c", "123");
	mt("\\D+", "12ab3", "ab");
	mt("\\w+", "  foo_1 bar", "foo_1");
	mt("\\W+", "ab, cd", ", ");
	mt("a\\sb", "a b a\tb", "a b");
	mt("\\S+", "  xy z", "xy");
	mt("[\\d]+", "ab42c", "42");
	mt("[\\D]+", "42ab7", "ab");
	mt("[^\\d]+", "12ab3", "ab");
	mt("x{1,}?", "xxx", "x");
	mt("[x\\d]+", "ax1x2b", "x1x2");
	mt("\\x41\\x4a", "zAJ", "AJ");
	mt("a\\tb", "a\tb", "a\tb");
	mt("a\\nb", "a\nb", "a\nb");
	mt("a\\Nb\\R\\T", "a\nb\r\t", "a\nb\r\t");
	mt("\\X41\\x7", "A\x07", "A\x07");
	mt("[\\x41\\x42]+", "zABAz", "ABA");
	mt("[\\t]+", "a\t\tb", "\t\t");
	mt("[\\n]", "ab\ncd", "\n");
	mt("a\\.c", "abc a.c", "a.c");
	mt("\\(\\)", "f()", "()");
	mt("a\\*", "aa*", "a*");
	// "." is any byte but 0, a double-byte character whole
	mt("a.c", "abc", "abc");
	mt(".b", "\x82\xA0" "b", "\x82\xA0" "b");
	mt("a.", "a", 0);
	return 0;
}

int groups()
{
	eq("(a)(b) slots", find("(a)(b)", "zab", 0), 3);
	eq("(a)(b) 0 from", from[0], 1);
	eq("(a)(b) 0 to", to[0], 3);
	eq("(a)(b) 1 from", from[1], 1);
	eq("(a)(b) 1 to", to[1], 2);
	eq("(a)(b) 2 from", from[2], 2);
	eq("(a)(b) 2 to", to[2], 3);
	eq("nested slots", find("((a)b)c", "xabc", 0), 3);
	eq("nested 1 from", from[1], 1);
	eq("nested 1 to", to[1], 3);
	eq("nested 2 from", from[2], 1);
	eq("nested 2 to", to[2], 2);
	eq("no group", find("abc", "abc", 0), 1);
	eq("loop group", find("(ab)+", "ababx", 0), 2);
	eq("loop group end", to[0], 4);
	// a missing ")" ends the group at the pattern's end
	eq("open group", find("(ab", "xab", 0), 2);
	eq("open group 1 to", to[1], 3);
	// an unclosed "[" runs to the end of the pattern
	mt("[ab", "xxb", "b");
	return 0;
}

int double_bytes()
{
	char *kana;
	kana = "\x82\xA0\x82\xA2\x41";
	mat("\x82\xA2", kana, 2, 4);
	mat("\x82\xA0\x82\xA2", kana, 0, 4);
	mat("[\x82\xA2]", kana, 2, 4);
	// double-byte ranges are boxes of lead and trail bytes
	mat("[\x82\xA1-\x82\xA3]", kana, 2, 4);
	mt("[\x81\xA1-\x83\xA1]", "\x82\xA2", 0);
	mat("[\x81\xA1-\x83\xA2]", "\x82\xA2", 0, 2);
	// a failed start moves on one byte, also inside a character
	mat("\xA0", "\x82\xA0", 1, 2);
	mat("[^\x82\xA0]", "\x82\xA0", 1, 2);
	mat("\x82\xA2+", "x\x82\xA2\x82\xA2y", 1, 5);
	return 0;
}

int main()
{
	alternation_and_repeats();
	braces();
	classes_and_escapes();
	groups();
	double_bytes();
	return done("regex_syntax");
}
