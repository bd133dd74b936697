// Stream natives: fopen in the standard modes, fread, fwrite, fseek, ftell,
// fgets, fputs and fclose, and fopen's retry in the Windows directory.
// expect: files_streams: 46 checks, 0 failed
// result: 0
#include "natives.h"
#include "check.h"

char buf[64];

int writing_and_reading()
{
	int f, n;
	f = fopen("a.txt", "w");
	yes("fopen w", f);
	yes("fputs", fputs("one\n", f) >= 0);
	fputs("two\n", f);
	eq("fwrite", fwrite("three", 1, 5, f), 5);
	eq("fclose", fclose(f), 0);
	eq("file_size", file_size("a.txt"), 13);
	f = fopen("a.txt", "r");
	yes("fopen r", f);
	eq("fgets gives the buffer", fgets(buf, 64, f), buf);
	eqs("fgets line 1", buf, "one\n");
	eq("ftell after a line", ftell(f), 4);
	fgets(buf, 64, f);
	eqs("fgets line 2", buf, "two\n");
	fgets(buf, 64, f);
	eqs("fgets last line", buf, "three");
	eq("fgets at the end", fgets(buf, 64, f), 0);
	// a short buffer takes size - 1 bytes
	fseek(f, 0, 0);
	fgets(buf, 3, f);
	eqs("fgets short", buf, "on");
	fgets(buf, 64, f);
	eqs("fgets rest of line", buf, "e\n");
	fclose(f);
	// items: whole ones only
	f = fopen("a.txt", "rb");
	memset(buf, 0, 64);
	eq("fread items", fread(buf, 4, 5, f), 3);
	eqb("fread bytes", buf, "one\ntwo\nthre", 12);
	fseek(f, 12, 0);
	eq("fread at the end", fread(buf, 1, 4, f), 1);
	eq("fread past the end", fread(buf, 1, 4, f), 0);
	fclose(f);
	// "a" appends, "w" empties
	f = fopen("a.txt", "a");
	fputs("!", f);
	fclose(f);
	eq("append", file_size("a.txt"), 14);
	f = fopen("a.txt", "wb");
	fclose(f);
	eq("w empties", file_size("a.txt"), 0);
	return 0;
}

int seeking()
{
	int f;
	f = fopen("s.bin", "w+b");
	yes("fopen w+b", f);
	fwrite("0123456789", 1, 10, f);
	eq("ftell at the end", ftell(f), 10);
	eq("fseek start", fseek(f, 3, 0), 0);
	eq("ftell 3", ftell(f), 3);
	eq("fseek current", fseek(f, 2, 1), 0);
	eq("ftell 5", ftell(f), 5);
	eq("fseek end", fseek(f, -1, 2), 0);
	eq("ftell 9", ftell(f), 9);
	fread(buf, 1, 1, f);
	eq("read after fseek", buf[0], '9');
	yes("fseek before the start", fseek(f, -1, 0) != 0);
	fseek(f, 4, 0);
	fwrite("xy", 1, 2, f);
	fseek(f, 0, 0);
	memset(buf, 0, 64);
	fread(buf, 1, 10, f);
	eqs("write in place", buf, "0123xy6789");
	fclose(f);
	f = fopen("s.bin", "r+");
	fseek(f, 0, 2);
	fputs("ab", f);
	fclose(f);
	eq("r+ writes", file_size("s.bin"), 12);
	return 0;
}

int text_mode()
{
	int f;
	f = fopen("crlf.txt", "wb");
	fputs("ab\r\ncd", f);
	fclose(f);
	// text mode reads a CR LF line end as LF
	f = fopen("crlf.txt", "rt");
	fgets(buf, 64, f);
	eqs("fgets text mode", buf, "ab\n");
	fclose(f);
	f = fopen("crlf.txt", "rb");
	fgets(buf, 64, f);
	eqs("fgets binary mode", buf, "ab\r\n");
	fclose(f);
	return 0;
}

int failures()
{
	eq("fopen missing", fopen("missing.txt", "r"), 0);
	eq("fopen missing r+", fopen("missing.txt", "r+"), 0);
	eq("file not made", file_check("missing.txt"), 0);
	return 0;
}

// A name found nowhere else is opened in the Windows directory; only the
// file-name part of the name is looked for there.
int windows_directory()
{
	char win[260], path[300];
	int f, n;
	n = dir_getpath(36, win);
	yes("dir_getpath 36", n > 0);
	strcpy(path, win);
	strcat(path, "winonly.ini");
	f = fopen(path, "w");
	yes("write into the Windows directory", f);
	fputs("from windows", f);
	fclose(f);
	f = fopen("winonly.ini", "r");
	yes("fopen falls back", f);
	fgets(buf, 64, f);
	eqs("fallback text", buf, "from windows");
	fclose(f);
	f = fopen("some\\folder\\winonly.ini", "r");
	yes("fallback takes the file name", f);
	fclose(f);
	// a file that cannot be made where named is made there
	f = fopen("nofolder\\made.txt", "w");
	yes("fopen w into a missing folder", f);
	fclose(f);
	strcpy(path, win);
	strcat(path, "made.txt");
	eq("made in the Windows directory", file_check(path), 1);
	eq("not made here", file_check("made.txt"), 0);
	f = fopen("winonly.ini", "w");
	fputs("local", f);
	fclose(f);
	f = fopen("winonly.ini", "r");
	fgets(buf, 64, f);
	eqs("a local file first", buf, "local");
	fclose(f);
	return 0;
}

int main()
{
	writing_and_reading();
	seeking();
	text_mode();
	failures();
	windows_directory();
	return done("files_streams");
}
