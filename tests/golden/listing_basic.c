#trap
int out(int value);
/* Globals, strings, a switch and a loop. */
char *greeting = "hi\n\"there\"";
int table[4] = {1, , 3};
short half = 300;
int (*hook)() = out;
extern int shared;

static int twice(int v)
{
	return v * 2;
}

int classify(int v)
{
	switch (v) {
	case 1:
	case 2:
		return 10;
	default:
		return -1;
	}
}

int main()
{
	int i, sum;
	char c;
	sum = 0;
	for (i = 0; i < 4; i++)
		sum += table[i];
	if (c && sum > 3)
		out(sum);
	while (sum)
		sum--;
	out(twice(sum) + classify(2));
	return sum == 0 ? 1 : 2;
}
