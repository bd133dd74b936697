// Called by threads_call.c: returns 42 to its caller.
int main()
{
	return 42;
}
