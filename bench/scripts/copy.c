/* Byte copy loops: 1,000,000 bytes, ten times. */
char src[1000000];
char dst[1000000];
int main()
{
	int r, i;
	for (r = 0; r < 10; r++)
		for (i = 0; i < 1000000; i++)
			dst[i] = src[i] + i;
	return dst[999999];
}
