#pragma once
// The packer reads and writes its pictures with the tools' shared picture code.

#include "tools/common/picture.h"

namespace packer {

using tools::BgrOf;
using tools::LoadPicture;
using tools::Picture;
using tools::SavePng;
using tools::SaveTga;

} // namespace packer
