#pragma once
// The game board's pictures, drawn from arithmetic alone in sandstone, gold and lapis: the
// game screen's background with the board's frame and the score panel, floor, wall and repaint
// cells, the target's glow, flare and burned frames, the cubes, the gun on each side of the
// board, the aiming mark and the bonus fire's frames. assets/800x600/manifest.txt packs them.

#include <string>
#include <vector>

#include "tools/tolvanrise-store/picture.h"

namespace packer {

struct BoardPicture {
    std::string file; // the PNG's name in the picture folder
    Picture picture;
};

std::vector<BoardPicture> BoardPictures();

} // namespace packer
