// Regular expressions, the search and the objects: line anchors, the case
// flag, the 32-entry tables of automatons and results, refused arguments.
// expect: regex_objects: 78 checks, 0 failed
// result: 0
#include "natives.h"
#include "check.h"
#include "regex.h"

int anchors()
{
	mat("^b", "a\nb", 2, 3);
	mat("^a", "b\r\na", 3, 4);
	mat("^a", "b\r\r\n\na", 5, 6);
	mt("^b", "ab", 0);
	mat("^abc$", "abc", 0, 3);
	mt("^abc$", "xabc", 0);
	mat("^abc$", "abc\n", 0, 3);
	mt("a$", "a\r\n", "a");
	mt("a$", "ab", 0);
	mat("a$", "ba", 1, 2);
	// with "$" nothing consumes a line end
	mt(".*$", "ab\ncd", "ab");
	// "^" and "$" away from the pattern's ends never match
	mt("a^b", "a^b", 0);
	mt("a$b", "a$b", 0);
	// the terminator's position is never tried
	mt("$", "ab", 0);
	mat("$", "a\n", 1, 1);
	return 0;
}

int case_flag()
{
	eq("ABC fold", find("ABC", "xabc", 1), 1);
	eqs("ABC fold text", got, "abc");
	eq("abc fold", find("abc", "ABC", 1), 1);
	eq("a.C fold", find("a.C", "AxC", 1), 1);
	eq("class no fold", find("[A-Z]", "abc", 1), 0);
	eq("class no fold upper", find("[a-z]+", "ABc", 1), 1);
	eqs("class no fold upper text", got, "c");
	eq("flag 0 exact", find("abc", "ABC", 0), 0);
	eq("flag 2 exact", find("abc", "ABC", 2), 0);
	eq("flag -1 exact", find("abc", "ABC", -1), 0);
	// double-byte letters are compared as they are
	eq("full width no fold", find("\x82\x60", "\x82\x81", 1), 0);
	eq("trail letters no fold", find("\x83\x61", "\x83\x41", 1), 0);
	return 0;
}

int empty_loops()
{
	// loops whose body can match nothing still end
	mt("(a*)*b", "aab", "aab");
	mt("(a*)*", "b", "");
	mt("(a|)+c", "aac", "aac");
	mt("(a*)*x", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", 0);
	return 0;
}

int automatons[40];
int results[40];

int tables()
{
	int i, n, r, *var;
	char *subject;
	subject = "xyz";
	eq("nfa_compile 0", nfa_compile(0), 0);
	for (i = 0; i < 32; i++)
		automatons[i] = nfa_compile("y");
	n = 0;
	for (i = 0; i < 32; i++)
		n += automatons[i] != 0;
	eq("32 automatons", n, 32);
	eq("33rd automaton", nfa_compile("y"), 0);
	eq("nfa_free", nfa_free(automatons[31]), 1);
	eq("nfa_free twice", nfa_free(automatons[31]), 0);
	automatons[31] = nfa_compile("y");
	yes("after a free", automatons[31]);
	for (i = 1; i < 32; i++)
		nfa_free(automatons[i]);

	for (i = 0; i < 32; i++) {
		results[i] = 0;
		rex_match(automatons[0], subject, &results[i], 0);
	}
	n = 0;
	for (i = 0; i < 32; i++)
		n += results[i] != 0;
	eq("32 results", n, 32);
	var = 12345;
	eq("33rd result", rex_match(automatons[0], subject, &var, 0), 0);
	eq("33rd result variable", var, 0);
	eq("rex_free", rex_free(results[5]), 1);
	eq("rex_free twice", rex_free(results[5]), 0);
	eq("after a rex_free", rex_match(automatons[0], subject, &results[5], 0), 1);
	// results point into the subject and outlive their automaton
	eq("free the automaton", nfa_free(automatons[0]), 1);
	var = results[7];
	eq("result start", var[0], subject + 1);
	eq("result end", var[1], subject + 2);
	n = 0;
	for (i = 0; i < 32; i++)
		n += rex_free(results[i]);
	eq("free every result", n, 32);
	eq("nfa_free freed", nfa_free(automatons[0]), 0);
	return 0;
}

int refusals()
{
	int a, r, *var;
	char text[8], *subject;
	a = nfa_compile("b");
	r = 7;
	eq("no automaton", rex_match(0, "abc", &r, 0), 0);
	eq("no subject", rex_match(a, 0, &r, 0), 0);
	eq("no variable", rex_match(a, "abc", 0, 0), 0);
	r = 7;
	eq("no match", rex_match(a, "xyz", &r, 0), 0);
	eq("no match variable", r, 0);
	text[0] = 0;
	r = 7;
	eq("empty subject", rex_match(a, text, &r, 0), 0);
	eq("empty subject variable", r, 0);
	eq("a*, empty subject", find("a*", "", 0), 0);
	eq("nfa_free not live", nfa_free(a + 4), 0);
	eq("nfa_free 0", nfa_free(0), 0);
	eq("rex_free not live", rex_free(text), 0);
	eq("rex_free 0", rex_free(0), 0);
	// one automaton searches any number of subjects
	subject = "ab";
	eq("reuse 1", rex_match(a, subject, &r, 0), 1);
	var = r;
	eq("reuse 1 start", var[0], subject + 1);
	rex_free(r);
	eq("reuse 2", rex_match(a, "bb", &r, 0), 1);
	rex_free(r);
	eq("nfa_free", nfa_free(a), 1);
	return 0;
}

int main()
{
	anchors();
	case_flag();
	empty_loops();
	tables();
	refusals();
	return done("regex_objects");
}
