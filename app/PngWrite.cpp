// PNG chunks (length, type, data, CRC-32) around one zlib stream of filtered rows.
#include "app/PngWrite.h"

#include <zlib.h>

namespace pavona {
namespace {

void PutBig32(std::string& out, std::uint32_t v) {
    out.push_back(static_cast<char>(v >> 24));
    out.push_back(static_cast<char>(v >> 16));
    out.push_back(static_cast<char>(v >> 8));
    out.push_back(static_cast<char>(v));
}

void PutChunk(std::string& out, const char type[4], const std::string& data) {
    PutBig32(out, static_cast<std::uint32_t>(data.size()));
    const size_t start = out.size();
    out.append(type, 4);
    out += data;
    const uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(out.data() + start), static_cast<uInt>(out.size() - start));
    PutBig32(out, static_cast<std::uint32_t>(crc));
}

} // namespace

std::string EncodePngRgba(const std::vector<std::uint8_t>& rgba, int width, int height) {
    if (width <= 0 || height <= 0 || rgba.size() != static_cast<size_t>(width) * static_cast<size_t>(height) * 4)
        return {};
    // Each row starts with its filter type; 0 (none) keeps the encoder simple, zlib does the rest.
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    std::string raw;
    raw.reserve((rowBytes + 1) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        raw.push_back('\0');
        raw.append(reinterpret_cast<const char*>(rgba.data()) + static_cast<size_t>(y) * rowBytes, rowBytes);
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(raw.data()),
                  static_cast<uLong>(raw.size()), Z_BEST_COMPRESSION) != Z_OK)
        return {};
    packed.resize(packedSize);

    std::string header;
    PutBig32(header, static_cast<std::uint32_t>(width));
    PutBig32(header, static_cast<std::uint32_t>(height));
    header += std::string("\x08\x06\x00\x00\x00", 5); // 8 bits per sample, RGBA, deflate, filters, no interlace

    std::string png("\x89PNG\r\n\x1a\n", 8);
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", packed);
    PutChunk(png, "IEND", {});
    return png;
}

} // namespace pavona
