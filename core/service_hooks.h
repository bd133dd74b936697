// Per-run state that each subsystem starts, resets or frees at a fixed place
// of the start-up, service start, service shut-down and exit sequences.
// Subsystems that are not built yet define these as empty steps.
#pragma once

#include <cstdint>

namespace qavz {

// stdlib: device start-up step 12 (seed). The math tables of steps 1 and 11
// are in core/math_tables.h.
void SeedRandomFromTicks();
// stdlib: the time base stops while the application is paused.
void PauseTimeBase(bool pause);
// stdlib: free all compiled patterns.
void FreeAllPatterns();

// files: close the open pack files, free the script heap blocks.
void ClosePackFiles();
void FreeScriptHeap();

// graphics: colour tables (start-up), palette, fonts, pages, sprites, effects.
void InitColourTables();
void CreatePalette();
void ResetFontState();
void FreeFonts();
void FreePagesAndSurfaces();
void ResetSprites();
void FreeEffectStates();

// sound: media, sound slots, MIDI, CD.
void CloseMedia();
void StopMedia();
void FreeAllSounds();
void FreeMidi();
void StopCd();
void PauseDevices(bool pause);  // sound, MIDI, CD and media on (de)activation

// net: close all connections.
void CloseAllConnections();

// system: DLL table; the menu table and the last menu command.
void ResetDllTable();
void UnloadAllDlls();
void ResetMenuTable();

}  // namespace qavz
