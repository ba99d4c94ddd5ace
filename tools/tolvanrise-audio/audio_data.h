#pragma once
// The audio part of the runnable data folder, made from the plain lists in assets/audio/:
// the music list and the sound list written scrambled with the keys the managers read them
// with, one generated track per music mode in each music kind (tracker module "<name>.skm",
// which the list names, and the same tone as "<name>.ogg" and "<name>.mp3"), and one short
// generated Ogg effect per sound name of the sound list.

#include <string>

namespace audio_data {

// The steady tone (Hz) of a music mode's track: menu 440, game 330, gameend 554, gametimed
// 660; 0 for a name that is no mode.
double ModeToneHz(const char* mode);
// The tone of the index-th sound name of the sound list.
double EffectToneHz(int index);

// Writes <data>/MUSIC/... and <data>/SOUNDS/...; false (with a message on stderr) on failure.
bool WriteAudioData(const std::string& sourceFolder, const std::string& dataFolder);

} // namespace audio_data
