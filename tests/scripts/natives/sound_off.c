// Sound natives without "Sound", "Music" or "CD": every load fails and the
// rest give their results without a device.
// expect: sound_off: 25 checks, 0 failed
// result: 0
#include "natives.h"
#include "check.h"

int main()
{
	eq("snd_load", snd_load(1, "x.wav"), 0);
	eq("snd_play", snd_play(1, 0), 0);
	eq("snd_free", snd_free(-1), 0);
	eq("snd_getvol", snd_getvol(1), 0);
	eq("snd_isplay", snd_isplay(0), 0);
	eq("snd_getpos", snd_getpos(0), 0);
	eq("snd_setloop", snd_setloop(0, 10), 0);

	eq("midi_load", midi_load("x.mid"), 0);
	eq("midi_play", midi_play(0), 1);
	eq("midi_stop", midi_stop(0), 1);
	eq("midi_pause", midi_pause(), 1);
	eq("midi_replay", midi_replay(), 1);
	eq("midi_setvol", midi_setvol(50), 1);
	eq("midi_getvol", midi_getvol(), 0);
	eq("midi_isplay", midi_isplay(), 0);
	eq("midi_getpos", midi_getpos(), 0);
	eq("midi_repeat", midi_repeat(1), 1);
	eq("midi_free", midi_free(), 1);

	eq("cd_play", cd_play(1, 0), 0);
	eq("cd_stop", cd_stop(0), 0);
	eq("cd_pause", cd_pause(), 0);
	eq("cd_replay", cd_replay(), 0);
	eq("cd_isplay", cd_isplay(), 0);
	eq("cd_getlen", cd_getlen(0), 0);
	eq("cd_repeat", cd_repeat(2), 0);
	return done("sound_off");
}
