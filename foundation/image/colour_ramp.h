#pragma once
// Colour ramps: 256-entry tables of 0x00RRGGBB colours built from one colour, used to tint
// glyphs and fade particles, and the colour of a given brightness. Pure functions, any thread.

#include <cstdint>

// Brightness of 0x00RRGGBB: (R + G + B) / 3 rounded, 0 to 255.
int ColourBrightness(uint32_t colour);

// Entries 0 up to the colour's brightness B run from black to the colour, entries B to 254
// from the colour to white; entry 255 is white (the colour itself when B is 255). A black
// colour counts as brightness 1.
void BuildColourRampBlackToWhite(uint32_t colour, uint32_t table[256]);

// Entries 0 to 254 run from the colour towards white; entry 255 is white.
void BuildColourRampToWhite(uint32_t colour, uint32_t table[256]);

// The colour moved towards white (level above its brightness) or towards black (below) so
// that level 255 is white and level 0 black. level is clamped to 0..255; a colour of
// brightness 255 asked for level 255 is returned as it is.
uint32_t ColourAtBrightness(uint32_t colour, int level);
