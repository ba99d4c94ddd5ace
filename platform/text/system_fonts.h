#pragma once
// The system's font folders, where a font file that is not found as named is looked for
// again: the fontconfig/XDG ones, that is $XDG_DATA_HOME/fonts (see GetDataHome), ~/.fonts
// and every $XDG_DATA_DIRS entry's fonts folder (default /usr/local/share and /usr/share),
// each searched with its sub-folders. Any thread may call it.

#include <string>

namespace platform {

// Full path of the first regular file whose name equals the last component of fileName
// (exactly, then ignoring ASCII case), or empty when none is found.
std::string FindSystemFontFile(const char* fileName);

} // namespace platform
