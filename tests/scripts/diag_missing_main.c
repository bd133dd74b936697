// A program without main fails to compile, naming main.
// status: 1
// undefined-function: main
int helper()
{
	return 0;
}
