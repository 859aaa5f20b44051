// PNG encoding of an Image (8-bit RGB, no interlace), with zlib for the compressed data.
#pragma once

#include "tests/robot/image.h"

#include <cstdint>
#include <string>
#include <vector>

namespace uirobot {

std::vector<uint8_t> encodePng(const Image& image);
// Writes the PNG file; a RobotError if it cannot be written.
void writePng(const Image& image, const std::string& path);

} // namespace uirobot
