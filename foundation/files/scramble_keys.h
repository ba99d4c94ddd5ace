#pragma once
// Starting key bytes of the running XOR (xor_scramble.h) for every data file the engine reads
// scrambled. The asset tools include this same header when they write those files, so a key
// changed here changes both sides at once; data made with the old value must then be rebuilt.
// Each reader has its own byte so that one file cannot be read as another by mistake. 0 would
// mean a plain file, so none of them is 0.

#include <cstdint>

// Colour stream of a "JPM" picture loaded by the picture control (GBackground).
constexpr uint8_t kBackgroundJpmKey = 0x3D;

// A JPEG picture stored in a pack: the reader takes its key from the file's first byte, so any
// value reads back; this is the one the pack writer starts from.
constexpr uint8_t kPackJpegWriteKey = 0xA6;

// TrueType font files loaded by the text-label and text-edit controls.
constexpr uint8_t kTrueTypeFontKey = 0x5C;

// The music manager's table "MUSIC\music.ini" and the sound manager's "SOUNDS\sound.csv".
constexpr uint8_t kMusicTableKey = 0x27;
constexpr uint8_t kSoundTableKey = 0x4E;

// The language dictionary named by "start_up_options.xml", an XML data document.
constexpr uint8_t kDictionaryKey = 0x93;

// Particle definitions: the "ParticleFx" configuration and the ".prt" files.
constexpr uint8_t kParticleFileKey = 0x71;

// Key/value tables read from packs, when a caller stores one scrambled.
constexpr uint8_t kKeyValueTableKey = 0xC8;

// JPEG records of the bitmap store ("bmdt%d.bin"): every byte of the stream is XORed with this
// one byte, which does not run on (graphics/store/bitmap_store_reader.h).
constexpr uint8_t kBitmapStoreJpegKey = 0x6B;
