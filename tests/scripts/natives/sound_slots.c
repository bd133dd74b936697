// Sound natives through the runtime, headless on the loopback output: a wave
// file the script writes itself, volumes, pause counts, positions within
// coarse bounds, the stream's loop point, and refused slots and files.
// config: [General]
// config: Sound=1
// expect: sound_slots: 37 checks, 0 failed
// result: 0
#include "natives.h"
#include "check.h"

char wave[8044];

void put16(char *p, int v)
{
	p[0] = v & 255;
	p[1] = (v >> 8) & 255;
}

void put32(char *p, int v)
{
	put16(p, v & 65535);
	put16(p + 2, (v >> 16) & 65535);
}

/* A second of 8-bit mono at 8000 Hz in format `tag`, written as `name`. */
void write_wave(char *name, int tag)
{
	int f, i;
	memcpy(wave, "RIFF", 4);
	put32(wave + 4, 8036);
	memcpy(wave + 8, "WAVEfmt ", 8);
	put32(wave + 16, 16);
	put16(wave + 20, tag);
	put16(wave + 22, 1);
	put32(wave + 24, 8000);
	put32(wave + 28, 8000);
	put16(wave + 32, 1);
	put16(wave + 34, 8);
	memcpy(wave + 36, "data", 4);
	put32(wave + 40, 8000);
	for (i = 0; i < 8000; i++)
		wave[44 + i] = 128 + ((i / 10) & 1) * 40;
	f = fopen(name, "wb");
	fwrite(wave, 1, 8044, f);
	fclose(f);
}

int main()
{
	int pos;
	write_wave("tone.wav", 1);
	write_wave("float.wav", 3);

	eq("load", snd_load(1, "tone.wav"), 1);
	eq("volume after a load", snd_getvol(1), 100);
	eq("setvol gives the device status", snd_setvol(1, 50), 0);
	eq("getvol 50", snd_getvol(1), 50);
	snd_setvol(1, 150);
	eq("150 is full volume", snd_getvol(1), 100);
	snd_setvol(1, -5);
	eq("-5 is silence", snd_getvol(1), 0);
	snd_setvol(1, 100);

	eq("play", snd_play(1, 0), 1);
	eq("isplay", snd_isplay(1), 1);
	sleep(300);
	pos = snd_getpos(1);
	yes("position about 300 ms", pos > 150 && pos < 600);
	eq("pause", snd_pause(1), 1);
	eq("pause again", snd_pause(1), 1);
	eq("paused", snd_isplay(1), 0);
	eq("no position while paused", snd_getpos(1), 0);
	eq("stop leaves it paused", snd_stop(1), 1);
	eq("replay once", snd_replay(1), 1);
	eq("still paused", snd_isplay(1), 0);
	eq("replay twice", snd_replay(1), 1);
	eq("playing again", snd_isplay(1), 1);
	eq("stop", snd_stop(1), 1);
	eq("stopped", snd_isplay(1), 0);
	eq("replay of a stopped sound", snd_replay(1), 1);
	eq("does nothing", snd_isplay(1), 0);

	eq("duplicate", snd_load(2, "TONE.WAV"), 1);
	snd_play(2, 1);
	eq("a looping sound", snd_isplay(2), 1);
	sleep(1200);
	eq("plays on", snd_isplay(2), 1);

	eq("stream", snd_load(0, "tone.wav"), 1);
	eq("setloop on slot 3", snd_setloop(3, 100), 0);
	eq("setloop on the stream", snd_setloop(0, 500), 1);
	eq("setloop past the end", snd_setloop(0, 5000), 1);
	eq("stream play", snd_play(0, 1), 1);
	sleep(200);
	eq("stream plays", snd_isplay(0), 1);
	yes("stream position", snd_getpos(0) > 50);

	eq("format tag 3", snd_load(3, "float.wav"), 0);
	eq("missing file", snd_load(3, "none.wav"), 0);
	eq("slot 64", snd_load(64, "tone.wav"), 0);
	eq("free all", snd_free(-1), 1);
	eq("nothing plays", snd_isplay(2), 0);
	return done("sound_slots");
}
