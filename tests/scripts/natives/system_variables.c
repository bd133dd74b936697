// System variables through getsystem and setsystem: names without case, the
// settable ones, refusals, and the one-second cpu_clock wait.
// config: [General]
// config: Pause=0
// expect: system_variables: 31 checks, 0 failed
// result: 0
#include "natives.h"
#include "check.h"

int main()
{
	int w, h, t;
	eq("fullscreen", getsystem("fullscreen"), 0);
	eq("FULLSCREEN", getsystem("FULLSCREEN"), 0);
	eq("fullscreen, same mode", setsystem("FullScreen", 0), 0);
	w = getsystem("width");
	h = getsystem("Height");
	yes("width", w > 0);
	yes("height", h > 0);
	yes("depth", getsystem("depth") > 0);
	eq("width not settable", setsystem("width", 800), 0);
	eq("width unchanged", getsystem("width"), w);
	eq("height not settable", setsystem("height", 600), 0);
	eq("depth not settable", setsystem("depth", 8), 0);
	eq("sp_count", getsystem("sp_count"), 0);
	eq("sp_count not settable", setsystem("sp_count", 3), 0);
	t = getsystem("cpu_vender");
	yes("cpu_vender", t >= 0 && t <= 5);
	eq("cpu_vender not settable", setsystem("cpu_vender", 1), 0);
	eq("os_major not settable", setsystem("os_major", 1), 0);
	// the configuration says Pause=0
	eq("pause from the configuration", getsystem("pause"), 0);
	eq("setsystem pause", setsystem("pause", 1), 1);
	eq("pause set", getsystem("PAUSE"), 1);
	eq("setsystem pause 0", setsystem("pause", 0), 1);
	eq("pause cleared", getsystem("pause"), 0);
	eq("color_mapping at start", getsystem("color_mapping"), 0);
	eq("setsystem color_mapping", setsystem("color_mapping", 2), 1);
	eq("color_mapping set", getsystem("Color_Mapping"), 2);
	setsystem("color_mapping", 0);
	eq("unknown name", getsystem("volume"), 0);
	eq("unknown name set", setsystem("volume", 5), 0);
	eq("prefix of a name", getsystem("widt"), 0);
	eq("name and more", getsystem("widths"), 0);
	eq("null name", getsystem(0), 0);
	eq("null name set", setsystem(0, 1), 0);
	// cpu_clock counts time-stamp cycles over a one-second wait; 0 without
	// the counter (feature bit 4)
	setcount(0, 0);
	w = getsystem("cpu_clock");
	t = getcount(0);
	if (getsystem("cpu_support") & 0x10) {
		yes("cpu_clock waits a second", t >= 990 && t < 20000);
		yes("cpu_clock counts", w != 0);
	} else {
		eq("cpu_clock without a counter", w, 0);
		yes("one check either way", 1);
	}
	return done("system_variables");
}
