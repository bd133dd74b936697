/* check.h: counted checks for the native script tests. A check that fails
 * prints one FAIL line naming it; done() prints the summary line that the
 * test expects, so a check that never ran shows as a wrong count. The
 * helpers use no natives but log_out, so they do not lean on what they test.
 */
int checks;
int failed;

int same_text(char *a, char *b)
{
	while (*a && *a == *b) {
		a++;
		b++;
	}
	return *a == *b;
}

int same_bytes(char *a, char *b, int n)
{
	while (n > 0) {
		if (*a != *b)
			return 0;
		a++;
		b++;
		n--;
	}
	return 1;
}

int sign(int v)
{
	if (v < 0)
		return -1;
	return v > 0;
}

int fail()
{
	failed++;
	return 0;
}

/* a value against the one wanted */
int eq(char *what, int got, int want)
{
	checks++;
	if (got == want)
		return 1;
	log_out("FAIL %s: %d, want %d", what, got, want);
	return fail();
}

/* a condition that must hold */
int yes(char *what, int cond)
{
	return eq(what, cond != 0, 1);
}

/* a zero-terminated text against the one wanted */
int eqs(char *what, char *got, char *want)
{
	checks++;
	if (got && same_text(got, want))
		return 1;
	if (!got)
		got = "(null)";
	log_out("FAIL %s: \"%s\", want \"%s\"", what, got, want);
	return fail();
}

/* n bytes against the ones wanted */
int eqb(char *what, char *got, char *want, int n)
{
	checks++;
	if (same_bytes(got, want, n))
		return 1;
	log_out("FAIL %s: %d bytes differ", what, n);
	return fail();
}

int done(char *theme)
{
	log_out("%s: %d checks, %d failed", theme, checks, failed);
	return failed;
}
