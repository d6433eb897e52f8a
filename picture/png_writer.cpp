#include "picture/png_writer.h"

#include <algorithm>
#include <array>
#include <string>

namespace {

constexpr std::array<uint32_t, 256> makeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}
constexpr std::array<uint32_t, 256> kCrcTable = makeCrcTable();

// A stored deflate block holds at most this many bytes.
constexpr size_t kStoredBlockMax = 65535;

void putBigEndian32(std::string* out, uint32_t value) {
  out->push_back(static_cast<char>(value >> 24));
  out->push_back(static_cast<char>(value >> 16));
  out->push_back(static_cast<char>(value >> 8));
  out->push_back(static_cast<char>(value));
}

// length, type, data, CRC over type and data
void putChunk(std::string* out, const char type[4], const std::string& data) {
  putBigEndian32(out, static_cast<uint32_t>(data.size()));
  size_t typeAt = out->size();
  out->append(type, 4);
  out->append(data);
  const uint8_t* crcStart = reinterpret_cast<const uint8_t*>(out->data()) + typeAt;
  putBigEndian32(out, crc32Update(0, crcStart, 4 + data.size()));
}

// The zlib stream of the raw bytes in stored blocks.
std::string zlibStored(const std::string& raw) {
  std::string z;
  z.reserve(raw.size() + raw.size() / kStoredBlockMax * 5 + 16);
  z.push_back(0x78);  // CMF: deflate, 32K window
  z.push_back(0x01);  // FLG: no dictionary, check bits make 0x7801 a multiple of 31
  size_t at = 0;
  do {
    size_t length = std::min(kStoredBlockMax, raw.size() - at);
    bool last = at + length == raw.size();
    z.push_back(last ? 1 : 0);  // BFINAL, BTYPE 00 (stored), padding to the byte boundary
    z.push_back(static_cast<char>(length & 0xFF));
    z.push_back(static_cast<char>(length >> 8));
    z.push_back(static_cast<char>(~length & 0xFF));
    z.push_back(static_cast<char>((~length >> 8) & 0xFF));
    z.append(raw, at, length);
    at += length;
  } while (at < raw.size());
  putBigEndian32(&z, adler32Update(1, reinterpret_cast<const uint8_t*>(raw.data()), raw.size()));
  return z;
}

}  // namespace

uint32_t crc32Update(uint32_t crc, const uint8_t* data, size_t size) {
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) crc = kCrcTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

uint32_t adler32Update(uint32_t adler, const uint8_t* data, size_t size) {
  uint32_t a = adler & 0xFFFF, b = adler >> 16;
  while (size > 0) {
    // 5552 bytes is the longest run whose sums cannot overflow 32 bits before the reduction.
    size_t run = std::min<size_t>(size, 5552);
    for (size_t i = 0; i < run; ++i) {
      a += data[i];
      b += a;
    }
    a %= 65521;
    b %= 65521;
    data += run;
    size -= run;
  }
  return (b << 16) | a;
}

void encodePng(const Raster& raster, std::string* out) {
  static const char kSignature[] = "\x89PNG\r\n\x1a\n";
  out->append(kSignature, 8);

  std::string header;
  putBigEndian32(&header, static_cast<uint32_t>(raster.width));
  putBigEndian32(&header, static_cast<uint32_t>(raster.height));
  header.push_back(8);  // bit depth
  header.push_back(2);  // colour type: RGB
  header.push_back(0);  // compression: deflate
  header.push_back(0);  // filter method 0
  header.push_back(0);  // no interlace
  putChunk(out, "IHDR", header);

  // Each row: filter type 0 (none), then its pixels.
  size_t rowBytes = static_cast<size_t>(raster.width) * 3;
  std::string raw;
  raw.reserve((rowBytes + 1) * static_cast<size_t>(raster.height));
  for (int32_t y = 0; y < raster.height; ++y) {
    raw.push_back(0);
    raw.append(reinterpret_cast<const char*>(raster.rgb.data()) + static_cast<size_t>(y) * rowBytes, rowBytes);
  }
  putChunk(out, "IDAT", zlibStored(raw));
  putChunk(out, "IEND", std::string());
}

void encodePpm(const Raster& raster, std::string* out) {
  *out += "P6\n" + std::to_string(raster.width) + " " + std::to_string(raster.height) + "\n255\n";
  out->append(reinterpret_cast<const char*>(raster.rgb.data()), raster.rgb.size());
}
