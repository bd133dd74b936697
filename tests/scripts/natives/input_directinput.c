// The input natives on a headless run with DirectInput: the keyboard and the
// mouse are there with nothing held, no joystick is.
// config: Input=1
// expect: input_directinput: 8 checks, 0 failed
// result: 0
#include "natives.h"
#include "check.h"

char keys[256];
int record[4];

int main()
{
	int i, any;
	memset(keys, 0x55, 256);
	eq("getkey", getkey(keys), 1);
	any = 0;
	for (i = 0; i < 256; i++)
		any |= keys[i];
	eq("no key down", any, 0);
	memset(record, 0x55, 16);
	eq("getmouse", getmouse(record), 1);
	yes("no movement, wheel or button", !record[0] && !record[1] && !record[2] && !record[3]);
	record[0] = 3;
	eq("getjoy 0", getjoy(0, record), 0);
	eq("record zeroed", record[0], 0);
	eq("getjoy 3", getjoy(3, record), 0);
	eq("getjoy 4", getjoy(4, record), 0);
	return done("input_directinput");
}
