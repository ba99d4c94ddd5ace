#pragma once
// The packer's manifest: a text file that lists the records of one bitmap set, in order.
//
//   # comment                       (also after a line's fields)
//   max_file_bytes 4194304          a data file takes records until it holds this many bytes
//   jpeg_quality 90                 default quality of JPEG records
//   <kind> <NAME> <picture> [key=RRGGBB] [mask=NAME] [quality=N]
//
// Kinds, with the record formats they make (masks come from the picture's alpha as 255 - A):
//   rgb             0, or 1 with key=
//   masked          2 and, unless mask= names an earlier mask record, a mask record (15)
//   mask            15: a mask only, for mask= of later lines
//   alpha           14: an alpha-only image
//   palette         16, or 18 with key= (at most 256 colours)
//   palette_masked  20 with its mask
//   indexed_masked  12 (one byte per pixel, the picture's red channel) with its mask
//   jpeg            22 (a 24-bit image once loaded)
//   jpeg_masked     23 with its mask
// Auto-made masks are named NAME_A and are added right before their image. Pictures are PNG
// or TGA, named relative to the manifest's folder.

#include <cstdint>
#include <string>
#include <vector>

namespace packer {

class StoreWriter;

struct ManifestSettings {
    uint64_t maxFileBytes = 8u << 20;
    int jpegQuality = 90;
};

// Adds the manifest's records to the writer; false with "<manifest>:<line>: reason".
bool ReadManifest(const std::string& path, StoreWriter& writer, ManifestSettings& settings,
                  std::string& error);
bool ReadManifestText(const std::string& text, const std::string& sourceName,
                      const std::string& pictureFolder, StoreWriter& writer,
                      ManifestSettings& settings, std::string& error);

// Reads the manifests in order (their records follow one another, settings carry over) and
// writes the set into the folder (made when missing). Returns the number of data files, or -1
// with the reason.
int32_t PackManifest(const std::vector<std::string>& manifestPaths, const std::string& outputFolder,
                     std::string& error);

} // namespace packer
