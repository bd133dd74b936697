/* state_machine.c: a switch-driven state machine with macros, a static
   counter and a function pointer table, as a title's main loop would be. */
// expect: title
// expect: play 1
// expect: play 2
// expect: play 3
// expect: over after 3 rounds
// result: 3
#include "../include/natives.h"

#define S_TITLE 0
#define S_PLAY  1
#define S_OVER  2
#define ROUNDS  3

int state;

int title()
{
	log_out("title");
	return S_PLAY;
}

int play()
{
	static int round;
	round++;
	log_out("play %d", round);
	return round < ROUNDS ? S_PLAY : S_OVER;
}

int over()
{
	log_out("over after %d rounds", ROUNDS);
	return -1;
}

int (*handlers[3])();

int main()
{
	int steps;
	handlers[S_TITLE] = title;
	handlers[S_PLAY] = play;
	handlers[S_OVER] = over;
	state = S_TITLE;
	steps = 0;
	while (state >= 0) {
		switch (state) {
		case S_PLAY:
			steps++;
		default:
			state = (*handlers[state])();
		}
	}
	return steps;
}
