/* Byte array work: the primes below 2,000,000. */
char flags[2000000];
int main()
{
	int i, j, count;
	count = 0;
	for (i = 2; i < 2000000; i++) {
		if (!flags[i]) {
			count++;
			for (j = i + i; j < 2000000; j += i)
				flags[j] = 1;
		}
	}
	return count;
}
