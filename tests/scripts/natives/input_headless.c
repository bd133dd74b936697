// The input natives on a headless run without DirectInput: a keyboard with
// no key down, no joystick, a mouse with no button held, the pointer where
// cur_setpos put it, the change bits and the typed-character ring empty.
// expect: input_headless: 32 checks, 0 failed
// result: 0
#include "natives.h"
#include "check.h"

char keys[256];
int record[4];

int all_zero(char *bytes, int n)
{
	int i;
	for (i = 0; i < n; i++)
		if (bytes[i])
			return 0;
	return 1;
}

void keyboard()
{
	memset(keys, 0x55, 256);
	eq("getkey", getkey(keys), 1);
	yes("no key down", all_zero(keys, 256));
	eq("key_get on an empty ring", key_get(), 0);
	eq("key_init", key_init(), 1);
	eq("key_get after key_init", key_get(), 0);
}

void joysticks()
{
	int n;
	for (n = 0; n < 5; n++) {
		record[0] = record[1] = record[2] = 7;
		eq("getjoy without joysticks", getjoy(n, record), 0);
		yes("its record zeroed", record[0] == 0 && record[1] == 0 && record[2] == 0);
	}
	record[0] = 7;
	eq("getjoy -1", getjoy(-1, record), 0);
	eq("record zeroed", record[0], 0);
}

void mouse()
{
	memset(record, 0x55, 16);
	eq("getmouse", getmouse(record), 1);
	yes("no movement, no button", all_zero(record, 16));
	eq("cur_setpos", cur_setpos(100, 50), 1);
	memset(record, 0x55, 16);
	eq("getpoint", getpoint(record), 1);
	eq("x", record[0], 100);
	eq("y", record[1], 50);
	eq("wheel", record[2], 0);
	eq("flags", record[3], 0);
	eq("getpoint 0", getpoint(0), 1);
}

void cursor()
{
	int r[4];
	eq("cur_set 0", cur_set(0), 1);
	eq("cur_set 1", cur_set(1), 1);
	eq("cur_set 2", cur_set(2), 0);
	eq("cur_set -1", cur_set(-1), 0);
	r[0] = 10;
	r[1] = 20;
	r[2] = 30;
	r[3] = 40;
	eq("cur_clip", cur_clip(r), 1);
	eq("cur_clip 0", cur_clip(0), 1);
}

int main()
{
	keyboard();
	joysticks();
	mouse();
	cursor();
	return done("input_headless");
}
