/* Recursive calls: fib(32). */
int fib(int n) { return n < 2 ? n : fib(n - 1) + fib(n - 2); }
int main() { return fib(32); }
