/* The bundled demo title. Its window opens at 640 x 480; the program adds
   up the numbers 1 to 10 and ends, and the window stays until it is closed.
   Without a display it runs headless and the runtime ends with it. */

int sum_to(int n)
{
    int i, sum;
    sum = 0;
    for (i = 1; i <= n; i++)
        sum += i;
    return sum;
}

int main()
{
    return sum_to(10);
}
