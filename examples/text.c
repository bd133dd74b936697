/* text.c: string natives on Shift-JIS text, sprintf into a buffer and a
   small table of structures sorted by hand. */
// expect: 3 fruits
// expect: apple 120
// expect: cherry 250
// expect: banana 300
// expect: total 670 in 9 letters
// result: 0
#include "../include/natives.h"

struct Fruit {
	char name[16];
	int price;
};

struct Fruit fruits[3];
int count;

void add(char *name, int price)
{
	strcpy(fruits[count].name, name);
	fruits[count].price = price;
	count++;
}

/* Insertion sort on the price. */
void sort()
{
	int i, j;
	struct Fruit tmp;
	for (i = 1; i < count; i++) {
		memcpy(&tmp, &fruits[i], sizeof(struct Fruit));
		for (j = i - 1; j >= 0 && fruits[j].price > tmp.price; j--)
			memcpy(&fruits[j + 1], &fruits[j], sizeof(struct Fruit));
		memcpy(&fruits[j + 1], &tmp, sizeof(struct Fruit));
	}
}

int main()
{
	int i, total;
	char line[64];
	add("banana", 300);
	add("apple", 120);
	add("cherry", 250);
	sort();
	log_out("%d fruits", count);
	total = 0;
	for (i = 0; i < count; i++) {
		sprintf(line, "%s %d", fruits[i].name, fruits[i].price);
		log_out("%s", line);
		total += fruits[i].price;
	}
	log_out("total %d in %d letters", total, strlen(fruits[0].name) + strlen(fruits[1].name) - 2);
	return 0;
}
