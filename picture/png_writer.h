// Picture files of a raster, with no library: PNG (8-bit RGB, deflate in stored blocks) and
// binary PPM.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "picture/raster.h"

// The PNG file of the raster, appended to *out.
void encodePng(const Raster& raster, std::string* out);
// The binary PPM (P6) file of the raster, appended to *out.
void encodePpm(const Raster& raster, std::string* out);

// The checksums PNG needs: CRC-32 (ISO 3309, as in PNG chunks) and zlib's Adler-32.
uint32_t crc32Update(uint32_t crc, const uint8_t* data, size_t size);  // start with 0
uint32_t adler32Update(uint32_t adler, const uint8_t* data, size_t size);  // start with 1
