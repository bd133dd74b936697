#trap
int out(int value);
struct Point { short x; char tag; struct Point *next; };
struct Point origin;
unsigned char counter;

int walk(struct Point *p)
{
	int n;
	static int calls;
	n = 0;
	calls++;
	while (p) {
		n += p->x;
		p = p->next;
	}
	return n;
}

#asm
	; a comment kept as written
#endasm

int main()
{
	struct Point a, b;
	short s;
	unsigned u;
	int (*fn)();
	a.x = 5; a.next = &b;
	b.x = -2; b.next = 0;
	counter++;
	--s;
	u = 7;
	if (u > 3 || !counter)
		out(1);
	fn = walk;
	out((*fn)(&a));
	out(*"A" + (char)u);
	origin.tag = 'q';
	return walk(&a) >> 1;
}
