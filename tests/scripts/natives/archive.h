/* archive.h: writes files byte for byte, pack archives included, as the
 * outside tools would: the magic, the entry count, 40-byte entries (name in
 * 32 bytes, offset, size; sorted by name without case), then the data.
 */
int write_bytes(char *name, char *data, int n)
{
	int f, done;
	f = fopen(name, "wb");
	if (!f)
		return 0;
	done = fwrite(data, 1, n, f);
	fclose(f);
	return done == n;
}

int put32(int f, int v)
{
	char b[4];
	b[0] = v;
	b[1] = v >> 8;
	b[2] = v >> 16;
	b[3] = v >> 24;
	return fwrite(b, 1, 4, f);
}

int write_archive(char *file, char *magic, int n, char **names, char **data, int *sizes)
{
	int f, i, offset;
	char entry[32];
	f = fopen(file, "wb");
	if (!f)
		return 0;
	fwrite(magic, 1, 8, f);
	put32(f, n);
	offset = 12 + 40 * n;
	for (i = 0; i < n; i++) {
		memset(entry, 0, 32);
		strcpy(entry, names[i]);
		fwrite(entry, 1, 32, f);
		put32(f, offset);
		put32(f, sizes[i]);
		offset += sizes[i];
	}
	for (i = 0; i < n; i++)
		fwrite(data[i], 1, sizes[i], f);
	fclose(f);
	return 1;
}

/* the whole of a pack file by handle, into buf (at most max bytes) */
int read_pack(char *path, char *buf, int max)
{
	int h, n;
	h = pack_open(path);
	if (!h)
		return -1;
	n = pack_read(h, buf, max);
	if (n >= 0 && n < max)
		buf[n] = 0;
	pack_close(h);
	return n;
}
