#include "common/path_text.h"

#include <cstring>

LeadBytes leadBytesOfCodePage(unsigned codePage) {
  LeadBytes lead{};
  auto mark = [&](unsigned first, unsigned last) {
    for (unsigned byte = first; byte <= last; ++byte) lead.isLead[byte] = true;
  };
  switch (codePage) {
    case 932:  // Shift JIS
      mark(0x81, 0x9F);
      mark(0xE0, 0xFC);
      break;
    case 936:  // GBK
    case 949:  // Unified Hangul
    case 950:  // Big5
      mark(0x81, 0xFE);
      break;
    default: break;
  }
  return lead;
}

size_t lastPathSeparator(const std::string& path, const char* separators, const LeadBytes& leadBytes) {
  size_t last = std::string::npos;
  for (size_t i = 0; i < path.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (leadBytes.isLead[c]) {
      ++i;  // the next byte belongs to the same character
    } else if (c != 0 && std::strchr(separators, c)) {
      last = i;
    }
  }
  return last;
}
