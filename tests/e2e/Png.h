// A minimal PNG writer for screenshots: 8-bit RGB, one IDAT chunk whose zlib stream holds
// uncompressed ("stored") deflate blocks, so no compression library is needed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace png {

// CRC-32 as PNG chunks use it (polynomial 0xEDB88320, initial and final inversion).
uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0);

// Adler-32 of the zlib trailer.
uint32_t Adler32(const uint8_t* data, size_t size);

// The PNG file of an image given as rows of RGB triplets, top row first
// (rgb.size() == width * height * 3). Empty when the sizes do not match.
std::vector<uint8_t> EncodeRgb(uint32_t width, uint32_t height, const std::vector<uint8_t>& rgb);

}  // namespace png
