#pragma once
// Source pictures of the pack tool: PNG files through libpng and uncompressed TGA files
// (true-colour or greyscale, either row order), read into R, G, B, A rows, the top row first;
// and PNG writing for the pictures the tool generates. Messages go to stderr.

#include <string>

#include "pack_writer.h"

namespace packtool {

// By the file's extension: ".png" or ".tga" (any letter case). False when the file is missing,
// damaged or of a kind not read here.
bool ReadSourcePicture(const std::string& path, Picture& picture);
bool ReadPng(const std::string& path, Picture& picture);
bool ReadTga(const std::string& path, Picture& picture);

enum class PngLayout { kGrey, kRgb, kRgba };
// Writes the picture with the channels of the layout (grey: the R channel).
bool WritePng(const std::string& path, const Picture& picture, PngLayout layout);

} // namespace packtool
