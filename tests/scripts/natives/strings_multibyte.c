// Multibyte strings (Shift-JIS): mbslen, mbscpy, mbscat, mbscmp, mbscmpi,
// mbslwr, mbsupr, mbscut and mbschr.
// expect: strings_multibyte: 54 checks, 0 failed
// result: 0
#include "natives.h"
#include "check.h"

// two double-byte characters (0x82A0, 0x82A2) and the letter A
char *kana = "\x82\xA0\x82\xA2\x41";
// 0x8341 (its trail byte is 0x41) and the letter A
char *ka_a = "\x83\x41\x41";
// half-width katakana and a letter
char *half = "\xB1\xB2z";

int lengths_and_copies()
{
	char buf[64];
	eq("mbslen kana", mbslen(kana), 3);
	eq("mbslen ascii", mbslen("hello"), 5);
	eq("mbslen empty", mbslen(""), 0);
	eq("mbslen lead then end", mbslen("\x82"), 0);
	eq("mbslen a then lead", mbslen("a\x82"), 1);
	eq("mbslen katakana", mbslen("\x83\x41\x83\x43"), 2);
	// half-width katakana are single bytes
	eq("mbslen half-width", mbslen("\xB1\xB2\xDF"), 3);
	eq("mbscpy gives dst", mbscpy(buf, kana), buf);
	eqb("mbscpy text", buf, "\x82\xA0\x82\xA2\x41\0", 6);
	eq("mbscat gives dst", mbscat(buf, "\x82\xA4z"), buf);
	eqb("mbscat text", buf, "\x82\xA0\x82\xA2\x41\x82\xA4z\0", 9);
	eq("mbscat length", mbslen(buf), 5);
	return 0;
}

int comparisons()
{
	eq("mbscmp equal", mbscmp(kana, "\x82\xA0\x82\xA2\x41"), 0);
	eq("mbscmp ascii less", sign(mbscmp("abc", "abd")), -1);
	eq("mbscmp prefix", sign(mbscmp("ab", "abc")), -1);
	eq("mbscmp longer", sign(mbscmp("abc", "ab")), 1);
	// by character code: 0x82A0 is above 'z', 'B' below 'a'
	eq("mbscmp double above single", sign(mbscmp("\x82\xA0", "z")), 1);
	eq("mbscmp codes", sign(mbscmp("\x82\xA0", "\x82\xA2")), -1);
	eq("mbscmp B a", sign(mbscmp("B", "a")), -1);
	eq("mbscmpi equal", mbscmpi("Hello", "hELLO"), 0);
	eq("mbscmpi less", sign(mbscmpi("abc", "ABD")), -1);
	eq("mbscmpi greater", sign(mbscmpi("b", "A")), 1);
	// full-width A (0x8260) and full-width a (0x8281)
	eq("mbscmpi full width", mbscmpi("\x82\x60x", "\x82\x81X"), 0);
	eq("mbscmp full width", mbscmp("\x82\x60", "\x82\x81") != 0, 1);
	eq("mbscmpi kana", sign(mbscmpi("\x82\xA0", "\x82\xA2")), -1);
	return 0;
}

int case_changes()
{
	char buf[32];
	mbscpy(buf, "AbC\x82\x60z");
	eq("mbslwr gives s", mbslwr(buf), buf);
	eqb("mbslwr text", buf, "abc\x82\x81z\0", 7);
	eq("mbsupr gives s", mbsupr(buf), buf);
	eqb("mbsupr text", buf, "ABC\x82\x60Z\0", 7);
	// a trail byte in the letter range is part of its character: kept
	mbscpy(buf, "\x83\x61q");
	mbsupr(buf);
	eqb("mbsupr keeps trail byte", buf, "\x83\x61Q\0", 4);
	mbscpy(buf, "\x83\x5AQ");
	mbslwr(buf);
	eqb("mbslwr keeps trail byte", buf, "\x83\x5Aq\0", 4);
	mbscpy(buf, half);
	mbsupr(buf);
	eqb("mbsupr half-width", buf, "\xB1\xB2Z\0", 4);
	mbscpy(buf, kana);
	mbsupr(buf);
	eqb("mbsupr kana unchanged", buf, "\x82\xA0\x82\xA2\x41\0", 6);
	return 0;
}

int cuts()
{
	char buf[32];
	eq("mbscut gives dst", mbscut(buf, kana, 1, 1), buf);
	eqb("mbscut 1 1", buf, "\x82\xA2\0", 3);
	mbscut(buf, kana, 0, 2);
	eqb("mbscut 0 2", buf, "\x82\xA0\x82\xA2\0", 5);
	mbscut(buf, kana, 2, 1);
	eqs("mbscut 2 1", buf, "A");
	mbscut(buf, kana, 1, 10);
	eqb("mbscut past the end", buf, "\x82\xA2\x41\0", 4);
	mbscut(buf, kana, 3, 2);
	eqs("mbscut at the end", buf, "");
	mbscut(buf, kana, 7, 2);
	eqs("mbscut beyond", buf, "");
	mbscut(buf, "hello", 1, 3);
	eqs("mbscut ascii", buf, "ell");
	mbscut(buf, kana, 0, 0);
	eqs("mbscut none", buf, "");
	return 0;
}

int searches()
{
	eq("mbschr double", mbschr(kana, 0x82A2), kana + 2);
	eq("mbschr first double", mbschr(kana, 0x82A0), kana);
	eq("mbschr trail code", mbschr(kana, 0xA2), 0);
	eq("mbschr lead code", mbschr(kana, 0x82), 0);
	eq("mbschr single", mbschr(kana, 'A'), kana + 4);
	eq("mbschr terminator", mbschr(kana, 0), kana + 5);
	eq("mbschr none", mbschr(kana, 'B'), 0);
	// the trail byte 0x41 of 0x8341 is no letter A
	eq("mbschr skips trail", mbschr("\x83\x41", 'A'), 0);
	eq("mbschr after trail", mbschr(ka_a, 'A'), ka_a + 2);
	eq("strchr finds trail", strchr("\x83\x41", 'A') != 0, 1);
	eq("mbschr lead then end", mbschr("a\x82", 'z'), 0);
	eq("mbschr half-width", mbschr(half, 0xB2), half + 1);
	return 0;
}

int main()
{
	lengths_and_copies();
	comparisons();
	case_changes();
	cuts();
	searches();
	return done("strings_multibyte");
}
