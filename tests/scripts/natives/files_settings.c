// Settings natives on the title's configuration file: ini_geti, ini_gets,
// ini_seti and ini_sets; names without case, trimmed values, defaults.
// config: [General]
// config: Pause=0
// config: [Game]
// config: Score=42
// config: Name=  Hero
// config: Neg=-17
// config: Mixed=12abc
// config: Word=abc
// config: Empty=
// expect: files_settings: 42 checks, 0 failed
// result: 0
#include "natives.h"
#include "check.h"

char buf[64];

int gets(char *section, char *key, char *fallback, int size)
{
	memset(buf, '#', 64);
	return ini_gets(section, key, fallback, buf, size);
}

int reading()
{
	eq("ini_geti", ini_geti("Game", "Score", 0), 42);
	eq("ini_geti any case", ini_geti("GAME", "score", 0), 42);
	eq("ini_geti negative", ini_geti("Game", "Neg", 0), -17);
	eq("ini_geti leading digits", ini_geti("Game", "Mixed", 0), 12);
	eq("ini_geti not a number", ini_geti("Game", "Word", 5), 0);
	eq("ini_geti missing key", ini_geti("Game", "Lives", 7), 7);
	eq("ini_geti missing section", ini_geti("Nope", "Score", -1), -1);
	eq("ini_geti General", ini_geti("General", "Pause", 9), 0);
	eq("ini_gets", gets("Game", "Name", "def", 64), 4);
	eqs("ini_gets trimmed", buf, "Hero");
	eq("ini_gets any case", gets("game", "NAME", "def", 64), 4);
	eq("ini_gets missing", gets("Game", "Title", "def", 64), 3);
	eqs("ini_gets default", buf, "def");
	eq("ini_gets missing section", gets("Nope", "Name", "x y", 64), 3);
	eqs("ini_gets default with a space", buf, "x y");
	eq("ini_gets empty value", gets("Game", "Empty", "def", 64), 0);
	eqs("ini_gets empty text", buf, "");
	// size - 1 characters and the terminator
	eq("ini_gets short buffer", gets("Game", "Name", "def", 3), 2);
	eqb("ini_gets short text", buf, "He\0#", 4);
	eq("ini_gets number as text", gets("Game", "Score", "", 64), 2);
	eqs("ini_gets number text", buf, "42");
	return 0;
}

int writing()
{
	yes("ini_seti", ini_seti("Game", "Score", 100));
	eq("ini_seti read back", ini_geti("Game", "Score", 0), 100);
	gets("Game", "Score", "", 64);
	eqs("ini_seti is decimal text", buf, "100");
	yes("ini_seti negative", ini_seti("Game", "Neg", -2147483647 - 1));
	eq("ini_seti negative read back", ini_geti("Game", "Neg", 0), -2147483647 - 1);
	yes("ini_seti new section", ini_seti("Stats", "Count", -3));
	eq("new section read back", ini_geti("stats", "count", 0), -3);
	yes("ini_sets", ini_sets("Game", "Name", "Knight"));
	eq("ini_sets read back", gets("Game", "Name", "", 64), 6);
	eqs("ini_sets text", buf, "Knight");
	yes("ini_sets new key", ini_sets("Game", "Motto", "a b c"));
	gets("Game", "Motto", "", 64);
	eqs("ini_sets spaces kept", buf, "a b c");
	yes("ini_sets any case", ini_sets("GAME", "name", "Mage"));
	gets("Game", "Name", "", 64);
	eqs("one key, any case", buf, "Mage");
	yes("ini_sets empty", ini_sets("Game", "Word", ""));
	eq("empty text read back", gets("Game", "Word", "def", 64), 0);
	// the other lines stay
	eq("others kept", ini_geti("Game", "Mixed", 0), 12);
	eq("General kept", ini_geti("General", "Pause", 9), 0);
	return 0;
}

int refusals()
{
	eq("ini_seti null section", ini_seti(0, "k", 1), 0);
	eq("ini_sets null key", ini_sets("Game", 0, "v"), 0);
	eq("ini_geti null key", ini_geti("Game", 0, 8), 8);
	return 0;
}

int main()
{
	reading();
	writing();
	refusals();
	return done("files_settings");
}
