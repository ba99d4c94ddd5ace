#pragma once
// Loaders of single pictures from the data packs: one pack file "Data%d.dat" holds one
// picture, which becomes an image in a pool slot of the bitmap store. Three kinds of file:
//
// TGA: the 18-byte TGA header, uncompressed, no ID field and no colour map (its first 12
//   bytes are 0, 0, 2 or 3, then nine zeros); u16 width, u16 height at 12 and 14, the depth
//   at 16; byte 17 is not read. Then the pixels:
//     type 2, 32 bits: B, G, R, A rows, the bottom row first  -> format 2, mask = 255 - A
//     type 2, 24 bits: B, G, R rows, the top row first        -> format 0
//     type 3, 8 bits:  one byte per pixel, the top row first  -> format 14 (mask only)
// "JPM": "JPM", one byte not read, then u32 width, height, colour offset, mask offset (all
//   little-endian); from the colour offset to the mask offset a JPEG stream scrambled with the
//   running XOR from the caller's key byte (xor_scramble.h); from the mask offset width *
//   height mask bytes, top row first (0 opaque, 255 transparent)   -> format 2
// Pack JPEG: a JPEG stream scrambled with the pack source's schedule (pack_data_source.h)
//                                                                  -> format 0
//
// Every header is checked against the bytes present; a JPM's JPEG stream must have the size
// its header gives. Nothing is shown or logged: a refused file gives 0. The slot already in
// the pool keeps its image unless the file was accepted. A JPEG stream damaged inside its
// coded data still gives a whole image (the rows past the damage black) and the result 1.
//
// Arguments: pack number; the pool slot to fill (negative: the first empty one), which
// receives the slot used, or -1 when the pool refused the image (a refused file leaves it
// alone; may be null, meaning -1); the store; the folder of the pack or null.
// Results: 1 loaded, 0 not. Main thread only.

#include <cstdint>

class GGraphicsResources;

int LoadTgaImage(int32_t pack, int16_t* slot, GGraphicsResources* store, const char* folder);
// key: the caller's own fixed key byte (foundation/files/scramble_keys.h).
int LoadJpegImageFromMemory(int32_t pack, int16_t* slot, GGraphicsResources* store,
                            const char* folder, uint8_t key);
int LoadJpegImageFromPack(int32_t pack, int16_t* slot, GGraphicsResources* store,
                          const char* folder);
// Reads the pack once and tries it as a TGA, then as a JPM with the key, then as a pack JPEG;
// the first that accepts it decides.
int LoadPackImageOfAnyKind(int32_t pack, int16_t* slot, GGraphicsResources* store,
                           const char* folder, uint8_t jpmKey);

// The same on the bytes of a pack already in memory (size bytes at data).
int LoadTgaImageFromBytes(const uint8_t* data, uint32_t size, int16_t* slot,
                          GGraphicsResources* store);
int LoadJpmImageFromBytes(const uint8_t* data, uint32_t size, int16_t* slot,
                          GGraphicsResources* store, uint8_t key);
int LoadPackJpegImageFromBytes(const uint8_t* data, uint32_t size, int16_t* slot,
                               GGraphicsResources* store);

// Sizes of the headers.
constexpr uint32_t kTgaHeaderSize = 18;
constexpr uint32_t kJpmHeaderSize = 20;
