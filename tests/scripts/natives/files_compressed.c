// Compressed files: pack_save writes the "qav" header and the LZW code
// stream, bit for bit; every open expands them whole (pack_open, mload);
// files without the magic are read as they are.
// expect: files_compressed: 71 checks, 0 failed
// result: 0
#include "natives.h"
#include "check.h"
#include "archive.h"

char buf[64];
char raw[64];

int raw_bytes(char *name)
{
	int f, n;
	f = fopen(name, "rb");
	if (!f)
		return -1;
	n = fread(raw, 1, 64, f);
	fclose(f);
	return n;
}

// pack_save of text, then its bytes against the ones wanted
int saves(char *text, int n, char *want, int size)
{
	eq(text, pack_save("out.qav", text, n), 1);
	eq(text, raw_bytes("out.qav"), size);
	eqb(text, raw, want, size);
	eq(text, read_pack("out.qav", buf, 64), n);
	return eqb(text, buf, text, n);
}

int bit_streams()
{
	// codes 97 98 99 256, nine bits each, after the big-endian header
	saves("abc", 3, "\x71\x61\x76\x00\x00\x00\x00\x03\x30\x98\x8C\x70\x00", 13);
	// a b 259 261 b 256
	saves("abababab", 8,
		"\x71\x61\x76\x00\x00\x00\x00\x08\x30\x98\xA0\x70\x53\x14\x00", 15);
	// a 259 260 261 262 262 256: a code the decoder has not made yet
	saves("aaaaaaaaaaaaaaaaaaaa", 20,
		"\x71\x61\x76\x00\x00\x00\x00\x14\x30\xC0\xE0\x90\x58\x34\x1A\x00", 16);
	saves("x", 1, "\x71\x61\x76\x00\x00\x00\x00\x01\x3C\x40\x00", 11);
	return 0;
}

int expanded_files()
{
	int h;
	pack_save("abc.qav", "abc", 3);
	h = pack_open("abc.qav");
	eq("pack_size expanded", pack_size(h), 3);
	eq("pack_read expanded", pack_read(h, buf, 64), 3);
	eqb("expanded bytes", buf, "abc", 3);
	eq("read at the end", pack_read(h, buf, 64), 0);
	eq("seek to the end", pack_seek(h, 3, 0), 3);
	eq("seek past the end", pack_seek(h, 4, 0), -1);
	eq("refused seek stays", pack_seek(h, 0, 1), 3);
	eq("seek from the end", pack_seek(h, -1, 2), 2);
	eq("seek before the start", pack_seek(h, -4, 2), -1);
	eq("seek current", pack_seek(h, -1, 1), 1);
	eq("seek current past", pack_seek(h, 3, 1), -1);
	eq("unknown origin", pack_seek(h, 2, 7), 1);
	eq("read after seeks", pack_read(h, buf, 64), 2);
	eqb("read after seeks bytes", buf, "bc", 2);
	pack_close(h);
	return 0;
}

int refused_saves()
{
	eq("pack_save size 0", pack_save("zero.qav", "abc", 0), 0);
	eq("size 0 leaves the header", raw_bytes("zero.qav"), 8);
	eqb("header only", raw, "\x71\x61\x76\x00\x00\x00\x00\x00", 8);
	eq("pack_save no buffer", pack_save("none.qav", 0, 5), 0);
	eq("pack_save into a missing folder", pack_save("nofolder\\x.qav", "abc", 3), 0);
	return 0;
}

int headers()
{
	// a declared length above what the stream holds: zeros after it
	write_bytes("long.qav", "\x71\x61\x76\x00\x00\x00\x00\x05\x30\x98\x8C\x70\x00", 13);
	memset(buf, '#', 8);
	eq("longer length", read_pack("long.qav", buf, 64), 5);
	eqb("longer length bytes", buf, "abc\0\0", 5);
	// a stream without the end code expands to what it holds
	write_bytes("noend.qav", "\x71\x61\x76\x00\x00\x00\x00\x03\x30\x98\x8C\x60", 12);
	eq("no end code", read_pack("noend.qav", buf, 64), 3);
	eqb("no end code bytes", buf, "abc", 3);
	// a declared length below what the stream holds: the open fails
	write_bytes("short.qav", "\x71\x61\x76\x00\x00\x00\x00\x02\x30\x98\x8C\x70\x00", 13);
	eq("shorter length", pack_open("short.qav"), 0);
	eq("shorter length mload", mload("short.qav", 0, 0), 0);
	// not the magic: plain data
	write_bytes("plain.qav", "qax\0abc", 7);
	eq("other magic", read_pack("plain.qav", buf, 64), 7);
	eqb("other magic bytes", buf, "qax\0abc", 7);
	write_bytes("tiny.qav", "qa", 2);
	eq("shorter than the magic", read_pack("tiny.qav", buf, 64), 2);
	eqb("short file bytes", buf, "qa", 2);
	write_bytes("magic.qav", "qav\0", 4);
	eq("magic without a length", pack_open("magic.qav"), 0);
	return 0;
}

// The compressed file's length and a hash of its bytes (h = h * 31 + byte)
int file_hash(char *name, int *length)
{
	int f, n, i, h;
	unsigned char *bytes;
	*length = file_size(name);
	bytes = malloc(*length);
	f = fopen(name, "rb");
	n = fread(bytes, 1, *length, f);
	fclose(f);
	h = 0;
	for (i = 0; i < n; i++)
		h = h * 31 + bytes[i];
	free(bytes);
	return h;
}

// Large buffers: the code width grows from 9 to 15 bits, and the dictionary
// is reset after code 32767; the file is the one the coder's rules make, bit
// for bit, and what goes in comes out.
int round_trip(char *what, char *data, int n, int size, int hash)
{
	int h, got, block, length;
	char *back;
	eq(what, pack_save("big.qav", data, n), 1);
	eq(what, file_hash("big.qav", &length), hash);
	eq(what, length, size);
	back = malloc(n + 16);
	h = pack_open("big.qav");
	eq(what, pack_size(h), n);
	got = pack_read(h, back, n + 16);
	pack_close(h);
	eq(what, got, n);
	eq(what, memcmp(back, data, n), 0);
	free(back);
	block = mload("big.qav", n - 100, 100);
	eq(what, memcmp(block, data + n - 100, 100), 0);
	free(block);
	return 0;
}

int large()
{
	char *data;
	int i, seed, n;
	n = 120000;
	data = malloc(n);
	seed = 12345;
	for (i = 0; i < n; i++) {
		seed = seed * 1103515245 + 12345;
		data[i] = seed >> 16;
	}
	// 20 width steps and 3 dictionary resets
	round_trip("random bytes", data, n, 173715, 503233155);
	for (i = 0; i < n; i++) {
		seed = seed * 1103515245 + 12345;
		data[i] = 'a' + ((seed >> 16) & 3);
	}
	round_trip("four letters", data, n, 34118, 1101904473);
	memset(data, 'x', n);
	round_trip("one byte", data, n, 592, 1057657736);
	free(data);
	return 0;
}

int main()
{
	bit_streams();
	expanded_files();
	refused_saves();
	headers();
	large();
	return done("files_compressed");
}
