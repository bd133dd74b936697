// The script heap and memory natives: malloc and free over the 256-entry
// heap table, memcpy, memmove, memset, memcmp, and mload of whole files,
// parts of files, compressed files and archive members.
// expect: files_memory: 50 checks, 0 failed
// result: 0
#include "natives.h"
#include "check.h"

int blocks[260];

int heap()
{
	int i, n, extra;
	char local[4];
	n = 0;
	for (i = 0; i < 256; i++) {
		blocks[i] = malloc(16);
		n += blocks[i] != 0;
	}
	eq("256 blocks", n, 256);
	eq("257th block", malloc(16), 0);
	eq("mload with a full table", mload("bytes.dat", 0, 0), 0);
	eq("free", free(blocks[100]), 1);
	blocks[100] = malloc(16);
	yes("malloc after a free", blocks[100]);
	eq("full again", malloc(16), 0);
	eq("free twice", free(blocks[7]), 1);
	eq("free twice again", free(blocks[7]), 0);
	eq("free a stack address", free(local), 0);
	eq("free inside a block", free(blocks[8] + 4), 0);
	eq("free 0", free(0), 0);
	blocks[7] = 0;
	n = 0;
	for (i = 0; i < 256; i++)
		if (blocks[i])
			n += free(blocks[i]);
	eq("free the rest", n, 255);
	extra = malloc(100000);
	yes("a large block", extra);
	memset(extra, 0x5A, 100000);
	eq("large block end", *(char *)(extra + 99999), 0x5A);
	eq("free the large block", free(extra), 1);
	return 0;
}

int copies()
{
	char a[16], b[16];
	memset(a, 0, 16);
	eq("memset gives 1", memset(a, 'x', 4), 1);
	eqb("memset", a, "xxxx\0", 5);
	memset(a, 0x141, 2);
	eqb("memset low byte", a, "AAxx\0", 5);
	memset(a + 4, 'q', 0);
	eq("memset 0 bytes", a[4], 0);
	eq("memcpy gives 1", memcpy(b, "hello", 6), 1);
	eqs("memcpy", b, "hello");
	memcpy(b, "J", 1);
	eqs("memcpy one byte", b, "Jello");
	memcpy(b, "zzz", 0);
	eqs("memcpy 0 bytes", b, "Jello");
	strcpy(a, "abcdefgh");
	eq("memmove gives 1", memmove(a + 2, a, 5), 1);
	eqs("memmove up", a, "ababcdeh");
	strcpy(a, "abcdefgh");
	memmove(a, a + 3, 5);
	eqs("memmove down", a, "defghfgh");
	strcpy(a, "abcdefgh");
	memmove(a + 1, a, 7);
	eqs("memmove by one", a, "aabcdefg");
	return 0;
}

int comparisons()
{
	eq("memcmp equal", memcmp("abc", "abc", 3), 0);
	eq("memcmp less", memcmp("abc", "abd", 3), -1);
	eq("memcmp greater", memcmp("abd", "abc", 3), 1);
	eq("memcmp unsigned", memcmp("\x80", "\x01", 1), 1);
	eq("memcmp unsigned less", memcmp("\x01", "\xFF", 1), -1);
	eq("memcmp count 0", memcmp("a", "b", 0), 0);
	eq("memcmp prefix only", memcmp("abX", "abY", 2), 0);
	eq("memcmp past zero", memcmp("a\0b", "a\0c", 3), -1);
	eq("memcmp first difference", memcmp("az", "ba", 2), -1);
	return 0;
}

char all[256];

int loads()
{
	int f, i, block;
	for (i = 0; i < 256; i++)
		all[i] = i;
	f = fopen("bytes.dat", "wb");
	fwrite(all, 1, 256, f);
	fclose(f);
	block = mload("bytes.dat", 0, 0);
	yes("mload whole", block);
	eqb("mload whole bytes", block, all, 256);
	eq("mload block is a heap block", free(block), 1);
	block = mload("bytes.dat", 100, 10);
	eqb("mload 100 10", block, all + 100, 10);
	free(block);
	block = mload("bytes.dat", 0, 5);
	eqb("mload 0 5", block, all, 5);
	free(block);
	block = mload("bytes.dat", -3, 4);
	eqb("mload negative offset", block, all, 4);
	free(block);
	block = mload("bytes.dat", 0, -1);
	yes("mload negative size", block);
	eqb("mload negative size is the whole", block, all, 256);
	free(block);
	// the whole length from the offset on: what the file still holds
	block = mload("bytes.dat", 250, 0);
	eqb("mload 250 whole", block, all + 250, 6);
	free(block);
	eq("mload missing", mload("missing.dat", 0, 0), 0);
	eq("mload null name", mload(0, 0, 0), 0);
	// compressed files are expanded
	eq("pack_save", pack_save("bytes.qav", all, 256), 1);
	block = mload("bytes.qav", 0, 0);
	eqb("mload compressed", block, all, 256);
	free(block);
	block = mload("bytes.qav", 200, 8);
	eqb("mload compressed part", block, all + 200, 8);
	free(block);
	return 0;
}

int main()
{
	heap();
	copies();
	comparisons();
	loads();
	return done("files_memory");
}
