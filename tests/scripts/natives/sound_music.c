// MIDI and CD natives through the runtime, headless: a piece and CD track
// files the script writes itself; volumes, pause counts, positions within
// coarse bounds, repeat modes and the disc's door.
// config: [General]
// config: Music=1
// config: CD=1
// expect: sound_music: 35 checks, 0 failed
// result: 0
#include "natives.h"
#include "check.h"

char bytes[20000];

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

void save(char *name, int n)
{
	int f;
	f = fopen(name, "wb");
	fwrite(bytes, 1, n, f);
	fclose(f);
}

char piece[39] = {
	77, 84, 104, 100, 0, 0, 0, 6, 0, 0, 0, 1, 1, 224,	/* MThd, format 0, one track, 480 a quarter */
	77, 84, 114, 107, 0, 0, 0, 17,			/* MTrk, 17 bytes */
	0, 177, 7, 100,					/* channel 1 volume 100 */
	0, 145, 60, 100,				/* a note on */
	150, 64, 129, 60, 0,				/* 2880 ticks later, off */
	0, 255, 47, 0					/* end of track */
};

/* Three seconds at 480 ticks a quarter and 120 beats a minute. */
void write_piece()
{
	memcpy(bytes, piece, 39);
	save("piece.mid", 39);
}

/* `seconds` of 8-bit mono silence at 8000 Hz. */
void write_track(char *name, int seconds)
{
	int n;
	n = seconds * 8000;
	memcpy(bytes, "RIFF", 4);
	put32(bytes + 4, 36 + n);
	memcpy(bytes + 8, "WAVEfmt ", 8);
	put32(bytes + 16, 16);
	put16(bytes + 20, 1);
	put16(bytes + 22, 1);
	put32(bytes + 24, 8000);
	put32(bytes + 28, 8000);
	put16(bytes + 32, 1);
	put16(bytes + 34, 8);
	memcpy(bytes + 36, "data", 4);
	put32(bytes + 40, n);
	memset(bytes + 44, 128, n);
	save(name, 44 + n);
}

void music()
{
	int pos;
	write_piece();
	eq("midi_load", midi_load("piece.mid"), 1);
	eq("midi_getvol", midi_getvol(), 100);
	eq("midi_setvol", midi_setvol(50), 1);
	eq("midi_getvol 50", midi_getvol(), 50);
	eq("midi_play", midi_play(0), 1);
	eq("midi_isplay", midi_isplay(), 1);
	sleep(400);
	pos = midi_getpos();
	yes("position about 400 ms", pos > 200 && pos < 800);
	eq("midi_pause", midi_pause(), 1);
	eq("midi_pause again", midi_pause(), 1);
	eq("paused", midi_isplay(), 0);
	sleep(300);
	midi_replay();
	eq("still paused", midi_isplay(), 0);
	midi_replay();
	eq("playing again", midi_isplay(), 1);
	pos = midi_getpos();
	yes("from where it paused", pos > 200 && pos < 800);
	eq("midi_stop", midi_stop(0), 1);
	eq("stopped", midi_isplay(), 0);
	eq("midi_repeat", midi_repeat(1), 1);
	eq("midi_free", midi_free(), 1);
	eq("no piece", midi_getvol(), 0);
}

void cd()
{
	write_track("track01.wav", 2);
	write_track("track02.wav", 2);
	/* The disc was read at start-up: the door takes the new one in. */
	eq("cd_eject opens", cd_eject(), 1);
	eq("cd_eject closes", cd_eject(), 1);
	eq("cd_getlen disc", cd_getlen(0), 4);
	eq("cd_getlen 2", cd_getlen(2), 2);
	eq("cd_getlen 3", cd_getlen(3), 0);
	eq("cd_play 3", cd_play(3, 0), 0);
	eq("cd_play 1", cd_play(1, 0), 1);
	eq("cd_isplay", cd_isplay(), 1);
	eq("cd_repeat", cd_repeat(2), 0);
	eq("cd_repeat again", cd_repeat(2), 2);
	eq("cd_setvol", cd_setvol(30), 1);
	eq("cd_getvol", cd_getvol(), 30);
	sleep(1200);
	eq("cd_getpos", cd_getpos(0), 1);
	eq("cd_getpos left", cd_getpos(1), 0);
	sleep(1500);
	eq("mode 2 went on to track 2", cd_isplay(), 1);
	eq("cd_stop", cd_stop(0), 1);
	eq("cd stopped", cd_isplay(), 0);
}

int main()
{
	music();
	cd();
	return done("sound_music");
}
