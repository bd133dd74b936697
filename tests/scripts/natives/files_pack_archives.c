// Pack archives through the pack natives: where a path is looked for (plain
// file, then the archive named after the nearest directory), member names
// without case, seeking inside a member, the 16 handles, and the retry in
// the Windows directory.
// expect: files_pack_archives: 63 checks, 0 failed
// stderr: FILE - data\b.txt
// stderr: FILE - bad\a.txt
// result: 0
#include "natives.h"
#include "check.h"
#include "archive.h"

char buf[64];
char *names[4], *data[4];
int sizes[4];

int make_archives()
{
	names[0] = "a.txt";
	data[0] = "alpha";
	sizes[0] = 5;
	names[1] = "bg\\title.txt";
	data[1] = "title from data.bin";
	sizes[1] = 19;
	names[2] = "Mixed.TXT";
	data[2] = "mixed";
	sizes[2] = 5;
	// a member may itself be compressed: "abc"
	names[3] = "z.qav";
	data[3] = "\x71\x61\x76\x00\x00\x00\x00\x03\x30\x98\x8C\x70\x00";
	sizes[3] = 13;
	yes("write data.bin", write_archive("data.bin", "QAVZPK01", 4, names, data, sizes));
	write_archive("bad.bin", "QAVZPK02", 1, names, data, sizes);
	write_archive("none.bin", "QAVZPK01", 0, names, data, sizes);
	return 0;
}

int lookups()
{
	int h;
	eq("member", read_pack("data\\a.txt", buf, 64), 5);
	eqs("member text", buf, "alpha");
	eq("slash works too", read_pack("data/a.txt", buf, 64), 5);
	eq("member any case", read_pack("DATA\\A.TXT", buf, 64), 5);
	eq("stored in mixed case", read_pack("data\\mixed.txt", buf, 64), 5);
	eqs("mixed text", buf, "mixed");
	// data\bg\title.txt: no data\bg.bin, so member bg\title.txt of data.bin
	eq("outer archive", read_pack("data\\bg\\title.txt", buf, 64), 19);
	eqs("outer archive text", buf, "title from data.bin");
	eq("compressed member", read_pack("data\\z.qav", buf, 64), 3);
	h = mload("data\\mixed.txt", 1, 3);
	eqb("mload of a member", h, "ixe", 3);
	free(h);
	h = mload("data\\z.qav", 1, 0);
	eqb("mload of a compressed member", h, "bc", 2);
	free(h);
	eqs("compressed member text", buf, "abc");
	eq("missing member", pack_open("data\\b.txt"), 0);
	eq("no separator, no archive", pack_open("a.txt"), 0);
	eq("wrong magic", pack_open("bad\\a.txt"), 0);
	eq("no entries", pack_open("none\\a.txt"), 0);
	eq("pack_open null", pack_open(0), 0);
	// the nearest archive that opens ends the search
	dir_create("data");
	names[0] = "other.txt";
	data[0] = "other";
	write_archive("data\\bg.bin", "QAVZPK01", 1, names, data, sizes);
	eq("nearest archive", read_pack("data\\bg\\other.txt", buf, 64), 5);
	eq("nearest archive only", pack_open("data\\bg\\title.txt"), 0);
	// a plain file beside an archive wins
	write_bytes("data\\a.txt", "plain!", 6);
	eq("plain file first", read_pack("data\\a.txt", buf, 64), 6);
	eqs("plain file text", buf, "plain!");
	return 0;
}

int member_seeks()
{
	int h;
	h = pack_open("data\\mixed.txt");
	yes("pack_open", h >= 1 && h <= 16);
	eq("pack_size", pack_size(h), 5);
	eq("seek to the end", pack_seek(h, 5, 0), 5);
	eq("seek past the end", pack_seek(h, 6, 0), -1);
	eq("refused seek stays", pack_seek(h, 0, 1), 5);
	eq("read at the end", pack_read(h, buf, 4), 0);
	eq("seek from the end", pack_seek(h, -2, 2), 3);
	eq("seek after the end", pack_seek(h, 1, 2), -1);
	eq("seek before the start from the end", pack_seek(h, -6, 2), -1);
	eq("seek back whole", pack_seek(h, -5, 2), 0);
	eq("seek before the start", pack_seek(h, -1, 0), -1);
	eq("seek current", pack_seek(h, 4, 1), 4);
	eq("seek current before the start", pack_seek(h, -5, 1), -1);
	// a member ends at its size, not at the archive's end
	eq("read clipped", pack_read(h, buf, 10), 1);
	eq("clipped byte", buf[0], 'd');
	pack_seek(h, 1, 0);
	eq("read 3", pack_read(h, buf, 3), 3);
	eqb("read 3 bytes", buf, "ixe", 3);
	eq("read 0", pack_read(h, buf, 0), 0);
	eq("read without a buffer", pack_read(h, 0, 2), -1);
	eq("pack_close", pack_close(h), 1);
	return 0;
}

int handles[20];

int slots()
{
	int i, n, h;
	n = 0;
	for (i = 0; i < 16; i++) {
		handles[i] = pack_open("data\\mixed.txt");
		n += handles[i] >= 1 && handles[i] <= 16;
	}
	eq("16 handles", n, 16);
	eq("17th handle", pack_open("data\\mixed.txt"), 0);
	eq("pack_close 0", pack_close(0), 0);
	eq("pack_close 17", pack_close(17), 0);
	eq("pack_close -1", pack_close(-1), 0);
	h = handles[5];
	eq("pack_close a handle", pack_close(h), 1);
	eq("pack_read closed", pack_read(h, buf, 1), -1);
	eq("pack_seek closed", pack_seek(h, 0, 0), -1);
	eq("pack_size closed", pack_size(h), -1);
	eq("pack_close closed", pack_close(h), 1);
	eq("the freed slot again", pack_open("data\\a.txt"), h);
	eq("pack_read 0", pack_read(0, buf, 1), -1);
	eq("pack_size 17", pack_size(17), -1);
	eq("pack_seek 0", pack_seek(0, 0, 0), -1);
	n = 0;
	for (i = 0; i < 16; i++)
		n += pack_close(handles[i]);
	eq("close all", n, 16);
	eq("pack_open after closing", read_pack("data\\mixed.txt", buf, 64), 5);
	return 0;
}

// A path found nowhere else is tried in the Windows directory, archives
// there included.
int windows_directory()
{
	char win[260], path[300];
	dir_getpath(36, win);
	strcpy(path, win);
	strcat(path, "packwin.txt");
	write_bytes(path, "from windows", 12);
	eq("pack_open falls back", read_pack("packwin.txt", buf, 64), 12);
	eqs("fallback text", buf, "from windows");
	strcpy(path, win);
	strcat(path, "winpack.bin");
	names[0] = "inside.txt";
	data[0] = "in win archive";
	sizes[0] = 14;
	write_archive(path, "QAVZPK01", 1, names, data, sizes);
	eq("archive in the Windows directory", read_pack("winpack\\inside.txt", buf, 64), 14);
	eqs("archive member text", buf, "in win archive");
	eq("nowhere", pack_open("nowhere.txt"), 0);
	return 0;
}

int main()
{
	make_archives();
	lookups();
	member_seeks();
	slots();
	windows_directory();
	return done("files_pack_archives");
}
