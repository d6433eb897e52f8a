// The batch tool's reference rasterizer and its picture files.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "picture/png_writer.h"
#include "picture/raster.h"
#include "platform/polyline_batch/polyline_batch.h"
#include "tests/viewer/loaded_table.h"
#include "viewer/preview.h"

namespace {

using Pixels = std::set<std::pair<int, int>>;

// One character per pixel: '#' black, '.' white, ' ' the dialog face; rows joined by '/'.
std::string picture(const Raster& raster) {
  std::string text;
  for (int y = 0; y < raster.height; ++y) {
    if (y) text += '/';
    for (int x = 0; x < raster.width; ++x) {
      RasterColor c = rasterPixel(raster, x, y);
      text += c == kRasterBlack ? '#' : c == kRasterWhite ? '.' : ' ';
    }
  }
  return text;
}

Pixels blackPixels(const Raster& raster, int shiftX = 0, int shiftY = 0) {
  Pixels pixels;
  for (int y = 0; y < raster.height; ++y)
    for (int x = 0; x < raster.width; ++x)
      if (rasterPixel(raster, x, y) == kRasterBlack) pixels.insert({x - shiftX, y - shiftY});
  return pixels;
}

Pixels line(int x0, int y0, int x1, int y1, int shift = 40, int size = 81) {
  Raster raster;
  rasterInit(&raster, size, size, kDialogFace);
  rasterMoveTo(&raster, x0 + shift, y0 + shift);
  rasterLineTo(&raster, x1 + shift, y1 + shift);
  return blackPixels(raster, shift, shift);
}

TEST(Raster, FrameOutlinesTheExclusiveRectangleAndFillsItWhite) {
  struct Case {
    int left, top, right, bottom;
    const char* expected;
  } cases[] = {
      {1, 1, 6, 4, "      / #####/ #...#/ #####/      "},
      {6, 4, 1, 1, "      / #####/ #...#/ #####/      "},  // corners ordered first
      {1, 0, 3, 5, " ##   / ##   / ##   / ##   / ##   "},     // two columns: no inside
      {2, 1, 3, 3, "      /  #   /  #   /      /      "},     // one column wide
      {-3, -2, 9, 9, "....../....../....../....../......"},  // outline outside the picture
      {2, 2, 2, 4, "      /      /      /      /      "},     // empty
  };
  for (const Case& c : cases) {
    Raster raster;
    ASSERT_TRUE(rasterInit(&raster, 6, 5, kDialogFace));
    rasterFrame(&raster, c.left, c.top, c.right, c.bottom);
    EXPECT_EQ(picture(raster), c.expected) << c.left << ',' << c.top << ',' << c.right << ',' << c.bottom;
  }
}

TEST(Raster, LinesLeaveOutTheirEndPointAndSplitTiesTowardTheSmallerCoordinate) {
  struct Case {
    int x0, y0, x1, y1;
    Pixels expected;
  } cases[] = {
      {0, 0, 0, 0, {}},
      {3, 0, 0, 0, {{3, 0}, {2, 0}, {1, 0}}},
      {0, 0, -3, 3, {{0, 0}, {-1, 1}, {-2, 2}}},
      // Halfway at x = 1 and x = 3: the upper pixel (smaller y) in both directions.
      {0, 0, 4, 2, {{0, 0}, {1, 0}, {2, 1}, {3, 1}}},
      {4, 2, 0, 0, {{4, 2}, {3, 1}, {2, 1}, {1, 0}}},
      // y-major ties take the smaller x.
      {0, 0, 2, 4, {{0, 0}, {0, 1}, {1, 2}, {1, 3}}},
      {2, 4, 0, 0, {{2, 4}, {1, 3}, {1, 2}, {0, 1}}},
      // No tie: the nearest pixel.
      {0, 0, 5, 2, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(line(c.x0, c.y0, c.x1, c.y1), c.expected) << c.x0 << ',' << c.y0 << " to " << c.x1 << ',' << c.y1;
}

// The textbook form of the same rule: Bresenham's decision variable with a bias of 1 in the
// octants whose minor coordinate falls.
Pixels bresenhamWithBias(int x0, int y0, int x1, int y1) {
  int dx = std::abs(x1 - x0), dy = std::abs(y1 - y0);
  int sx = x1 > x0 ? 1 : -1, sy = y1 > y0 ? 1 : -1;
  bool xMajor = dx > dy;
  int major = xMajor ? dx : dy, minor = xMajor ? dy : dx;
  int bias = (xMajor ? y1 < y0 : x1 < x0) ? 1 : 0;
  int err = 2 * minor - major;
  int x = x0, y = y0;
  Pixels pixels;
  for (int n = 0; n < major; ++n) {
    pixels.insert({x, y});
    if (err + bias > 0) {
      if (xMajor) y += sy; else x += sx;
      err += 2 * minor - 2 * major;
    } else {
      err += 2 * minor;
    }
    if (xMajor) x += sx; else y += sy;
  }
  return pixels;
}

TEST(Raster, LinesFollowTheIncrementalRuleAndAreTheSameBothWays) {
  for (int x1 = -12; x1 <= 12; ++x1)
    for (int y1 = -12; y1 <= 12; ++y1) {
      Pixels forward = line(0, 0, x1, y1);
      ASSERT_EQ(forward, bresenhamWithBias(0, 0, x1, y1)) << "to " << x1 << ',' << y1;
      Pixels backward = line(x1, y1, 0, 0);
      forward.insert({x1, y1});
      backward.insert({0, 0});
      ASSERT_EQ(forward, backward) << "to " << x1 << ',' << y1;
    }
}

TEST(Raster, ClippedLinesKeepTheirPixels) {
  // A small picture must show exactly the part of a line that a large one shows there.
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> coordinate(-150, 170);
  const int shift = 160;
  for (int trial = 0; trial < 1500; ++trial) {
    int x0 = coordinate(rng), y0 = coordinate(rng), x1 = coordinate(rng), y1 = coordinate(rng);
    Raster small, large;
    rasterInit(&small, 20, 17, kDialogFace);
    rasterInit(&large, 340, 340, kDialogFace);
    rasterMoveTo(&small, x0, y0);
    rasterLineTo(&small, x1, y1);
    rasterMoveTo(&large, x0 + shift, y0 + shift);
    rasterLineTo(&large, x1 + shift, y1 + shift);
    Pixels expected;
    for (int y = 0; y < 17; ++y)
      for (int x = 0; x < 20; ++x)
        if (rasterPixel(large, x + shift, y + shift) == kRasterBlack) expected.insert({x, y});
    ASSERT_EQ(blackPixels(small), expected) << x0 << ',' << y0 << " to " << x1 << ',' << y1;
  }
  // Lines between the coordinate limits cross a picture quickly and stay exact.
  Raster raster;
  rasterInit(&raster, 8, 8, kDialogFace);
  rasterMoveTo(&raster, -kPixelLimit, -kPixelLimit);
  rasterLineTo(&raster, kPixelLimit, kPixelLimit);
  EXPECT_EQ(picture(raster), "#       / #      /  #     /   #    /    #   /     #  /      # /       #");
}

TEST(Raster, ThePenStartsAtTheOriginAndFollowsTheOperations) {
  Raster raster;
  ASSERT_TRUE(rasterInit(&raster, 5, 3, kDialogFace));
  rasterReplay(&raster, {{CanvasOp::lineTo, 3, 0, 0, 0}, {CanvasOp::moveTo, 0, 2, 0, 0}, {CanvasOp::lineTo, 4, 2, 0, 0},
                         {CanvasOp::lineTo, 4, 0, 0, 0}});
  EXPECT_EQ(picture(raster), "###  /    #/#####");
  EXPECT_FALSE(rasterInit(&raster, -1, 5, kDialogFace));
  EXPECT_FALSE(rasterInit(&raster, 1 << 20, 1 << 20, kDialogFace));
}

// --- picture files ------------------------------------------------------------------------

uint32_t bigEndian32(const std::string& bytes, size_t at) {
  return uint32_t{static_cast<uint8_t>(bytes[at])} << 24 | uint32_t{static_cast<uint8_t>(bytes[at + 1])} << 16 |
         uint32_t{static_cast<uint8_t>(bytes[at + 2])} << 8 | uint32_t{static_cast<uint8_t>(bytes[at + 3])};
}

TEST(PictureFiles, ChecksumsMatchTheirCheckValues) {
  const std::string digits = "123456789";
  const auto* d = reinterpret_cast<const uint8_t*>(digits.data());
  EXPECT_EQ(crc32Update(0, d, digits.size()), 0xCBF43926u);
  EXPECT_EQ(crc32Update(crc32Update(0, d, 4), d + 4, 5), 0xCBF43926u);
  const std::string word = "Wikipedia";
  EXPECT_EQ(adler32Update(1, reinterpret_cast<const uint8_t*>(word.data()), word.size()), 0x11E60398u);
  // Long runs of 0xFF stress the deferred reduction.
  std::vector<uint8_t> ones(100000, 0xFF);
  uint32_t a = 1, b = 0;
  for (uint8_t byte : ones) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  EXPECT_EQ(adler32Update(1, ones.data(), ones.size()), (b << 16) | a);
}

TEST(PictureFiles, PngHoldsTheRowsInStoredBlocks) {
  // 200 x 120 RGB rows with their filter bytes take 72120 bytes: two stored blocks.
  Raster raster;
  ASSERT_TRUE(rasterInit(&raster, 200, 120, kDialogFace));
  rasterFrame(&raster, 10, 5, 150, 100);
  rasterMoveTo(&raster, 12, 90);
  rasterLineTo(&raster, 140, 7);
  std::string png;
  encodePng(raster, &png);

  ASSERT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  std::vector<std::string> types;
  std::string idat;
  size_t at = 8;
  while (at + 12 <= png.size()) {
    uint32_t length = bigEndian32(png, at);
    std::string type = png.substr(at + 4, 4);
    const auto* typeAndData = reinterpret_cast<const uint8_t*>(png.data() + at + 4);
    EXPECT_EQ(bigEndian32(png, at + 8 + length), crc32Update(0, typeAndData, 4 + length)) << type;
    if (type == "IHDR") {
      EXPECT_EQ(bigEndian32(png, at + 8), 200u);
      EXPECT_EQ(bigEndian32(png, at + 12), 120u);
      EXPECT_EQ(png.substr(at + 16, 5), std::string("\x08\x02\x00\x00\x00", 5));
    }
    if (type == "IDAT") idat += png.substr(at + 8, length);
    types.push_back(type);
    at += 12 + length;
  }
  EXPECT_EQ(at, png.size());
  EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));

  // Undo the stored blocks by hand.
  ASSERT_GE(idat.size(), 6u);
  EXPECT_EQ(bigEndian32(idat, 0) >> 16, 0x7801u);
  std::string raw;
  size_t p = 2;
  int blocks = 0;
  for (bool last = false; !last;) {
    ASSERT_LE(p + 5, idat.size());
    last = idat[p] & 1;
    EXPECT_EQ(idat[p] & 6, 0);  // stored
    unsigned length = static_cast<uint8_t>(idat[p + 1]) | static_cast<uint8_t>(idat[p + 2]) << 8;
    unsigned check = static_cast<uint8_t>(idat[p + 3]) | static_cast<uint8_t>(idat[p + 4]) << 8;
    EXPECT_EQ(length ^ check, 0xFFFFu);
    raw += idat.substr(p + 5, length);
    p += 5 + length;
    ++blocks;
  }
  EXPECT_EQ(blocks, 2);
  ASSERT_EQ(p + 4, idat.size());
  EXPECT_EQ(bigEndian32(idat, p), adler32Update(1, reinterpret_cast<const uint8_t*>(raw.data()), raw.size()));

  std::string expected;
  for (int y = 0; y < 120; ++y) {
    expected.push_back(0);
    expected.append(reinterpret_cast<const char*>(raster.rgb.data()) + y * 600, 600);
  }
  EXPECT_TRUE(raw == expected);
}

TEST(PictureFiles, PpmIsTheHeaderAndThePixels) {
  Raster raster;
  ASSERT_TRUE(rasterInit(&raster, 3, 2, kDialogFace));
  rasterFrame(&raster, 0, 0, 1, 1);
  std::string ppm;
  encodePpm(raster, &ppm);
  std::string pixels = std::string("\0\0\0", 3) + std::string(15, '\xF0');
  EXPECT_EQ(ppm, "P6\n3 2\n255\n" + pixels);
}

// The Win32 canvas hands GDI polylines without the lines that paint nothing new: drawn by the
// reference rasterizer, they give the pixels of the operations one by one. Cases: a dense grid
// (most of its lines a pixel long), one pixel steps over the same pixels, a frame over drawn lines,
// points outside the tracked area and batches fuller than one hand-over.
TEST(PolylineBatch, GivesThePixelsOfTheOperations) {
  constexpr PreviewArea kArea{127, 247, 181};
  auto grid = [&](int side) {
    std::string text = "XYZ";
    for (int i = 0; i < side; ++i) text += "," + std::to_string(i);
    text += "\n";
    for (int j = 0; j < side; ++j) {
      text += std::to_string(j);
      for (int i = 0; i < side; ++i) text += "," + std::to_string((i * 7 + j * 13) % 29 * 0.25);
      text += "\n";
    }
    Loaded l;
    loadOk(&l, text, true);
    Canvas canvas;
    drawPreview3D(&canvas, kArea, l.table, l.extents);
    return canvas.ops;
  };
  std::mt19937 random(7);
  std::vector<CanvasOp> walk{{CanvasOp::frame, 10, 10, 90, 70}};
  for (int k = 0, x = 50, y = 40; k < 40000; ++k) {
    int choice = static_cast<int>(random() % 100);
    if (choice < 2) walk.push_back({CanvasOp::moveTo, x = static_cast<int>(random() % 120) - 10, y = static_cast<int>(random() % 100) - 10, 0, 0});
    else if (choice < 3) walk.push_back({CanvasOp::frame, 20, 15, 60, 50});
    else if (choice < 8) walk.push_back({CanvasOp::lineTo, x = static_cast<int>(random() % 120) - 10, y = static_cast<int>(random() % 100) - 10, 0, 0});
    else walk.push_back({CanvasOp::lineTo, x += static_cast<int>(random() % 3) - 1, y += static_cast<int>(random() % 3) - 1, 0, 0});
  }
  struct Case {
    const char* name;
    std::vector<CanvasOp> ops;
    int width, height;
    size_t mostHanded;  // points handed over at most
  } cases[] = {{"500 x 500 grid", grid(500), 380, 200, 500 * 500 * 2 / 3},
               {"random walk", walk, 100, 80, walk.size()},
               {"a steep line from a painted pixel",
                {{CanvasOp::moveTo, 10, 10, 0, 0}, {CanvasOp::lineTo, 11, 10, 0, 0},
                 {CanvasOp::moveTo, 10, 10, 0, 0}, {CanvasOp::lineTo, 10, 3, 0, 0}},
                30, 20, 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Raster direct, batched;
    ASSERT_TRUE(rasterInit(&direct, c.width, c.height, kDialogFace));
    ASSERT_TRUE(rasterInit(&batched, c.width, c.height, kDialogFace));
    rasterReplay(&direct, c.ops);
    static PolylineBatch batch{};
    size_t handed = 0;
    auto draw = [](void* context, const BatchPoint* points, const uint32_t* counts, int polylines) {
      auto* target = static_cast<std::pair<Raster*, size_t*>*>(context);
      for (int k = 0; k < polylines; ++k, points += counts[k - 1]) {
        rasterMoveTo(target->first, points[0].x, points[0].y);
        for (uint32_t n = 1; n < counts[k]; ++n) rasterLineTo(target->first, points[n].x, points[n].y);
        *target->second += counts[k];
      }
    };
    std::pair<Raster*, size_t*> target{&batched, &handed};
    // Tracked over less than the picture: the points beyond are drawn as they come.
    ASSERT_TRUE(batchBegin(&batch, c.width - 7, c.height - 5, draw, &target));
    for (const CanvasOp& op : c.ops) {
      if (op.kind == CanvasOp::frame) {
        batchFrame(&batch);
        rasterFrame(&batched, op.a, op.b, op.c, op.d);
      } else if (op.kind == CanvasOp::moveTo) {
        batchMoveTo(&batch, op.a, op.b);
      } else {
        batchLineTo(&batch, op.a, op.b);
      }
    }
    batchEnd(&batch);
    EXPECT_TRUE(batched.rgb == direct.rgb);
    EXPECT_LE(handed, c.mostHanded);
    batchRelease(&batch);
  }
}

}  // namespace
