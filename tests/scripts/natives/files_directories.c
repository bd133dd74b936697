// Directory and file management: dir_getpath, dir_getcur, dir_setcur,
// dir_create, dir_delete, file_copy, file_move, file_delete, file_size,
// file_check, file_getattr, file_setattr, file_gettime, file_settime, and
// the searches of find_first, find_next and find_close.
// expect: files_directories: 103 checks, 0 failed
// result: 0
#include "natives.h"
#include "check.h"

char buf[320];

int make(char *name, char *text)
{
	int f;
	f = fopen(name, "wb");
	if (!f)
		return 0;
	fputs(text, f);
	fclose(f);
	return 1;
}

char *read_all(char *name)
{
	int f, n;
	buf[0] = 0;
	f = fopen(name, "rb");
	if (!f)
		return buf;
	n = fread(buf, 1, 300, f);
	buf[n] = 0;
	fclose(f);
	return buf;
}

int ends_with_backslash(char *s)
{
	int n;
	n = strlen(s);
	return n > 0 && s[n - 1] == '\\';
}

int folders()
{
	char cur[260], here[260], want[300], path[260];
	int n;
	n = dir_getcur(cur);
	eq("dir_getcur length", n, strlen(cur));
	yes("dir_getcur trailing backslash", ends_with_backslash(cur));
	n = dir_getpath(36, path);
	eq("dir_getpath 36 length", n, strlen(path));
	yes("dir_getpath 36 backslash", ends_with_backslash(path));
	n = dir_getpath(37, path);
	eq("dir_getpath 37 length", n, strlen(path));
	yes("dir_getpath 37 backslash", ends_with_backslash(path));
	eq("dir_getpath buffer 0", dir_getpath(36, 0), 0);
	yes("dir_create", dir_create("sub"));
	eq("dir_create again", dir_create("sub"), 0);
	eq("dir_create without parent", dir_create("none\\deeper"), 0);
	eq("dir_create null", dir_create(0), 0);
	yes("dir_setcur", dir_setcur("sub"));
	dir_getcur(here);
	strcpy(want, cur);
	strcat(want, "sub\\");
	eqs("dir_getcur inside", here, want);
	make("in.txt", "inside");
	yes("dir_setcur up", dir_setcur(".."));
	dir_getcur(here);
	eqs("dir_getcur back", here, cur);
	eq("made inside", file_check("sub\\in.txt"), 1);
	eq("dir_setcur missing", dir_setcur("missing"), 0);
	dir_getcur(here);
	eqs("dir_setcur missing stays", here, cur);
	eq("dir_delete not empty", dir_delete("sub"), 0);
	yes("file_delete inside", file_delete("sub\\in.txt"));
	yes("dir_delete", dir_delete("sub"));
	eq("dir_delete again", dir_delete("sub"), 0);
	eq("dir_delete a file", make("plain.txt", "x") && dir_delete("plain.txt"), 0);
	eq("file not deleted by dir_delete", file_check("plain.txt"), 1);
	return 0;
}

int files()
{
	make("a.txt", "alpha");
	yes("file_copy", file_copy("a.txt", "b.txt", 1));
	eqs("copied text", read_all("b.txt"), "alpha");
	make("a.txt", "alpha two");
	eq("file_copy onto an existing file", file_copy("a.txt", "b.txt", 1), 0);
	eqs("existing file kept", read_all("b.txt"), "alpha");
	yes("file_copy replacing", file_copy("a.txt", "b.txt", 0));
	eqs("replaced text", read_all("b.txt"), "alpha two");
	eq("file_copy missing", file_copy("missing.txt", "m.txt", 0), 0);
	eq("nothing made", file_check("m.txt"), 0);
	yes("file_move", file_move("b.txt", "c.txt"));
	eq("moved away", file_check("b.txt"), 0);
	eqs("moved text", read_all("c.txt"), "alpha two");
	eq("file_move onto an existing file", file_move("c.txt", "a.txt"), 0);
	eqs("target kept", read_all("a.txt"), "alpha two");
	eq("file_move missing", file_move("missing.txt", "n.txt"), 0);
	dir_create("moved");
	yes("file_move into a folder", file_move("c.txt", "moved\\c.txt"));
	eq("in the folder", file_check("moved\\c.txt"), 1);
	yes("file_delete", file_delete("moved\\c.txt"));
	eq("file_delete again", file_delete("moved\\c.txt"), 0);
	eq("file_delete a folder", file_delete("moved"), 0);
	dir_delete("moved");
	return 0;
}

int sizes_and_checks()
{
	make("five.siz", "12345");
	eq("file_size", file_size("five.siz"), 5);
	eq("file_size wildcard", file_size("*.siz"), 5);
	eq("file_size missing", file_size("missing.txt"), 0);
	make("empty.txt", "");
	eq("file_size empty", file_size("empty.txt"), 0);
	eq("file_check", file_check("five.siz"), 1);
	eq("file_check star", file_check("*.siz"), 1);
	eq("file_check question mark", file_check("fiv?.siz"), 1);
	eq("file_check any case", file_check("FIVE.SIZ"), 1);
	eq("file_check no match", file_check("*.none"), 0);
	eq("file_check missing", file_check("missing.txt"), 0);
	eq("file_check null", file_check(0), 0);
	return 0;
}

int attributes()
{
	int a;
	eq("file_getattr missing", file_getattr("missing.txt"), -1);
	a = file_getattr("a.txt");
	yes("file_getattr file", a != -1);
	eq("file is no directory", a & 0x10, 0);
	eq("file not read-only", a & 0x01, 0);
	dir_create("folder");
	eq("directory attribute", file_getattr("folder") & 0x10, 0x10);
	yes("file_setattr read-only", file_setattr("a.txt", 0x01));
	eq("read-only set", file_getattr("a.txt") & 0x01, 0x01);
	eq("file_delete read-only", file_delete("a.txt"), 0);
	eq("read-only file kept", file_check("a.txt"), 1);
	yes("file_setattr normal", file_setattr("a.txt", 0x20));
	eq("read-only cleared", file_getattr("a.txt") & 0x01, 0);
	eq("file_setattr missing", file_setattr("missing.txt", 0), 0);
	return 0;
}

int times()
{
	unsigned short w[8], got[8], acc[8];
	int i;
	// 2001-02-03 (a Saturday) 04:05:06 local time
	w[0] = 2001; w[1] = 2; w[2] = 6; w[3] = 3;
	w[4] = 4; w[5] = 5; w[6] = 6; w[7] = 0;
	make("t.txt", "time");
	eq("file_settime", file_settime("t.txt", 0, 0, w), 1);
	for (i = 0; i < 8; i++)
		got[i] = 9999;
	eq("file_gettime", file_gettime("t.txt", 0, 0, got), 1);
	for (i = 0; i < 8; i++)
		eq("write time field", got[i], w[i]);
	w[0] = 2010; w[1] = 7; w[2] = 4; w[3] = 15;
	w[4] = 12; w[5] = 30; w[6] = 0; w[7] = 0;
	eq("file_settime access", file_settime("t.txt", 0, w, 0), 1);
	file_gettime("t.txt", 0, acc, got);
	eq("access year", acc[0], 2010);
	eq("access month", acc[1], 7);
	eq("access day of week", acc[2], 4);
	eq("access day", acc[3], 15);
	eq("access hour", acc[4], 12);
	eq("access minute", acc[5], 30);
	eq("write time kept", got[0], 2001);
	eq("file_gettime missing", file_gettime("missing.txt", 0, 0, got), 0);
	eq("file_settime missing", file_settime("missing.txt", 0, 0, w), 0);
	eq("file_settime made nothing", file_check("missing.txt"), 0);
	return 0;
}

int seen_a, seen_b, seen_d, seen_other;

int note(char *record)
{
	char *name;
	name = record + 44;
	if (!strcmp(name, "a.dat")) {
		seen_a++;
		eq("find size", *(int *)(record + 32), 5);
		eq("find size high", *(int *)(record + 28), 0);
		eq("find attributes", *(int *)record & 0x10, 0);
	} else if (!strcmp(name, "b.dat"))
		seen_b++;
	else if (!strcmp(name, "D.DAT"))
		seen_d++;
	else
		seen_other++;
	return 0;
}

int searches()
{
	int h, n;
	dir_create("list");
	make("list\\b.dat", "bb");
	make("list\\a.dat", "aaaaa");
	make("list\\c.txt", "c");
	make("list\\D.DAT", "d");
	dir_create("list\\inner");
	h = find_first("list\\*.dat", buf);
	yes("find_first", h != -1);
	n = 0;
	if (h != -1) {
		note(buf);
		n = 1;
		while (find_next(h, buf) && n < 10) {
			note(buf);
			n++;
		}
		eq("find_next after the end", find_next(h, buf), 0);
		yes("find_close", find_close(h));
	}
	eq("found", n, 3);
	eq("found a.dat", seen_a, 1);
	eq("found b.dat", seen_b, 1);
	eq("found D.DAT", seen_d, 1);
	eq("found nothing else", seen_other, 0);
	eq("find_first no match", find_first("list\\*.zzz", buf), -1);
	eq("find_first missing folder", find_first("nolist\\*.dat", buf), -1);
	h = find_first("list\\inn*", buf);
	yes("find_first a folder", h != -1);
	eqs("folder name", buf + 44, "inner");
	eq("folder attribute", *(int *)buf & 0x10, 0x10);
	find_close(h);
	return 0;
}

int main()
{
	folders();
	files();
	sizes_and_checks();
	attributes();
	times();
	searches();
	return done("files_directories");
}
