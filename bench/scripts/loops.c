/* Nested integer loops: 3000 x 3000 exclusive-ors summed. */
int main()
{
	int i, j, s;
	s = 0;
	for (i = 0; i < 3000; i++)
		for (j = 0; j < 3000; j++)
			s += i ^ j;
	return s;
}
