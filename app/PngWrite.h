// A small PNG encoder over zlib for the agent's own pictures (8-bit RGBA, no interlace), the same on
// every system: Windows has no libpng package to build with, and zlib is all a PNG needs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pavona {

// The PNG file of a `width` × `height` picture given row by row as R, G, B, A bytes; empty when
// the sizes do not match the pixels or compression fails.
std::string EncodePngRgba(const std::vector<std::uint8_t>& rgba, int width, int height);

} // namespace pavona
