/* regex.h: one compile and match per call, for the regular-expression
 * tests. find() leaves the whole match's text in got and each slot's
 * offsets into the subject in from[] and to[]; it frees what it made.
 */
char got[256];
int from[8];
int to[8];

int find(char *pattern, char *subject, int fold)
{
	int nfa, n, i, k, *r;
	char *p;
	got[0] = 0;
	nfa = nfa_compile(pattern);
	if (!nfa)
		return -1;
	r = 0;
	n = rex_match(nfa, subject, &r, fold);
	for (i = 0; i < n && i < 8; i++) {
		from[i] = r[2 * i] - (int)subject;
		to[i] = r[2 * i + 1] - (int)subject;
	}
	k = 0;
	if (n > 0)
		for (p = (char *)r[0]; p < (char *)r[1] && k < 255; p++)
			got[k++] = *p;
	got[k] = 0;
	if (r)
		rex_free(r);
	nfa_free(nfa);
	return n;
}

/* pattern on subject matches want (0: does not match) */
int mt(char *pattern, char *subject, char *want)
{
	int n;
	n = find(pattern, subject, 0);
	if (!want)
		return eq(pattern, n, 0);
	if (n <= 0)
		return eqs(pattern, "(no match)", want);
	return eqs(pattern, got, want);
}

/* the same, with the match's offsets in the subject */
int mat(char *pattern, char *subject, int start, int end)
{
	int n;
	n = find(pattern, subject, 0);
	if (!eq(pattern, n > 0, 1))
		return 0;
	eq(pattern, from[0], start);
	return eq(pattern, to[0], end);
}
