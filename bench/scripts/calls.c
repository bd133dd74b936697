/* Calls: a recursive function of six arguments, about 7 million calls. */
int f(int n, int a, int b, int c, int d, int e)
{
	if (n < 2)
		return a + b + c + d + e + n;
	return (f(n - 1, b, c, d, e, a + 1) + f(n - 2, a, b, c, d, e)) & 65535;
}
int main() { return f(32, 1, 2, 3, 4, 5); }
