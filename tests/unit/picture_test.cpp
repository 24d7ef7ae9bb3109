#include <gtest/gtest.h>
#include <zlib.h>

#include <array>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "catalogue/Catalogue.h"
#include "image/Picture.h"

namespace velmora {
namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Resource name -> file, as the committed pictures.rc names them.
std::map<std::string, std::string> Resources() {
  std::map<std::string, std::string> files;
  std::istringstream rc(Slurp(VELMORA_PICTURES_DIR "/pictures.rc"));
  const std::regex line(R"re(^(\w+) RCDATA "([^"]+)"$)re");
  std::smatch m;
  for (std::string text; std::getline(rc, text);) {
    if (std::regex_match(text, m, line)) files[m[1]] = m[2];
  }
  return files;
}

std::string PictureBytes(const std::string& resource) {
  static const std::map<std::string, std::string> files = Resources();
  auto it = files.find(resource);
  return it == files.end() ? std::string() : Slurp(VELMORA_PICTURES_DIR "/" + it->second);
}

uint8_t AlphaAt(const Picture& p, int x, int y) {
  return p.bgra[(static_cast<size_t>(y) * static_cast<size_t>(p.width) + static_cast<size_t>(x)) * 4 + 3];
}

struct Expected {
  std::string resource;
  int width, height;
  bool png;
};

std::vector<Expected> EveryPicture() {
  std::vector<Expected> all;
  for (const CategoryInfo& c : AllCategories()) all.push_back({std::string(c.iconResource), 35, 35, true});
  for (const char* face : {"FACE_DETAILS", "FACE_UPGRADE", "FACE_INSTALLED"}) all.push_back({face, 63, 69, true});
  for (const CatalogueEntry& e : AllEntries()) all.push_back({std::string(e.previewResource), 405, 245, false});
  return all;
}

// Every picture the catalogue and the row buttons name is a resource, at 1x and
// 2x, decodes to its size, and carries alpha exactly where it must.
TEST(Pictures, EveryNamedPictureIsCommittedAtBothSizesAndDecodes) {
  const std::vector<Expected> all = EveryPicture();
  ASSERT_EQ(all.size(), 29u);
  EXPECT_EQ(Resources().size(), 58u) << "pictures.rc names a picture nobody uses, or misses one";
  for (const Expected& e : all) {
    for (int scale : {1, 2}) {
      SCOPED_TRACE(e.resource + " at " + std::to_string(scale) + "x");
      const std::string bytes = PictureBytes(e.resource + (scale == 2 ? "_2X" : ""));
      ASSERT_FALSE(bytes.empty());
      std::optional<Picture> p = e.png ? DecodePng(bytes) : DecodeJpeg(bytes);
      ASSERT_TRUE(p);
      EXPECT_FALSE((e.png ? DecodeJpeg(bytes) : DecodePng(bytes)).has_value());
      EXPECT_EQ(p->width, e.width * scale);
      EXPECT_EQ(p->height, e.height * scale);
      ASSERT_EQ(p->bgra.size(), static_cast<size_t>(p->width) * static_cast<size_t>(p->height) * 4);
      std::optional<PictureSize> size = PictureSizeOf(bytes);
      ASSERT_TRUE(size);
      EXPECT_EQ(size->width, p->width);
      EXPECT_EQ(size->height, p->height);
      EXPECT_EQ(p->hasAlpha, e.png);
      if (e.png) {
        // Round medals and rounded buttons: clear corners, solid middles.
        EXPECT_EQ(AlphaAt(*p, 0, 0), 0);
        EXPECT_EQ(AlphaAt(*p, p->width - 1, p->height - 1), 0);
        EXPECT_EQ(AlphaAt(*p, p->width / 2, p->height / 2), 255);
      } else {
        for (size_t i = 3; i < p->bgra.size(); i += 4) ASSERT_EQ(p->bgra[i], 255);
      }
    }
  }
}

// The loader's choice: the 1x at its own size, the 2x (scaled down) above it, a
// strip frame by frame.
TEST(Pictures, TheSizeForTheScreenComesFromTheNearestVersion) {
  const std::string icon = PictureBytes("ICON_MZ"), icon2 = PictureBytes("ICON_MZ_2X");
  const std::string face = PictureBytes("FACE_INSTALLED"), face2 = PictureBytes("FACE_INSTALLED_2X");
  std::optional<Picture> at100 = PictureForSize(icon, icon2, 35, 35);
  ASSERT_TRUE(at100);
  EXPECT_EQ(at100->bgra, DecodePng(icon)->bgra);
  std::optional<Picture> at200 = PictureForSize(icon, icon2, 70, 70);
  ASSERT_TRUE(at200);
  EXPECT_EQ(at200->bgra, DecodePng(icon2)->bgra);
  std::optional<Picture> at150 = PictureForSize(icon, icon2, 53, 53);
  ASSERT_TRUE(at150);
  EXPECT_EQ(at150->bgra, Resized(*DecodePng(icon2), 53, 53).bgra);
  EXPECT_EQ(PictureForSize(icon, "", 53, 53)->width, 53);  // no 2x: the 1x, enlarged

  // 150% for the face strip: each 23-high state becomes 35 high, keeping to itself.
  std::optional<Picture> strip = PictureForSize(face, face2, 95, 105);
  ASSERT_TRUE(strip);
  EXPECT_EQ(strip->width, 95);
  EXPECT_EQ(strip->height, 105);
  for (int state = 0; state < 3; ++state) {
    SCOPED_TRACE(state);
    EXPECT_EQ(AlphaAt(*strip, 0, state * 35), 0);            // each state's own rounded corners
    EXPECT_EQ(AlphaAt(*strip, 94, state * 35 + 34), 0);
    EXPECT_EQ(AlphaAt(*strip, 47, state * 35 + 17), 255);
  }
  EXPECT_FALSE(PictureForSize("not a picture", icon2, 35, 35));
  EXPECT_FALSE(PictureForSize(icon, icon2, 0, 35));
}

// A PNG whose IHDR says width x height, with a correct CRC, and no image data.
std::string ForgedPngHeader(const std::string& png, uint32_t width, uint32_t height) {
  std::string forged = png;
  for (int i = 0; i < 4; ++i) {
    forged[static_cast<size_t>(16 + i)] = static_cast<char>(width >> (24 - 8 * i));
    forged[static_cast<size_t>(20 + i)] = static_cast<char>(height >> (24 - 8 * i));
  }
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(forged.data() + 12), 17);
  for (int i = 0; i < 4; ++i) forged[static_cast<size_t>(29 + i)] = static_cast<char>(crc >> (24 - 8 * i));
  return forged;
}

// A JPEG whose first frame header (SOF0) says width x height.
std::string ForgedJpegHeader(const std::string& jpeg, uint16_t width, uint16_t height) {
  std::string forged = jpeg;
  size_t sof = forged.find("\xff\xc0", 2);
  if (sof == std::string::npos) return {};
  forged[sof + 5] = static_cast<char>(height >> 8);
  forged[sof + 6] = static_cast<char>(height & 0xff);
  forged[sof + 7] = static_cast<char>(width >> 8);
  forged[sof + 8] = static_cast<char>(width & 0xff);
  return forged;
}

// Broken files give nothing, without a crash (the sanitizers watch the rest).
TEST(Pictures, BrokenFilesDecodeToNothing) {
  const std::string png = PictureBytes("FACE_DETAILS"), jpeg = PictureBytes("PREVIEW_WGMZ");
  ASSERT_TRUE(DecodePng(png) && DecodeJpeg(jpeg));
  for (const std::string* file : {&png, &jpeg}) {
    const bool isPng = file == &png;
    SCOPED_TRACE(isPng ? "png" : "jpeg");
    auto decode = [&](const std::string& b) { return isPng ? DecodePng(b) : DecodeJpeg(b); };
    for (size_t cut : {size_t{0}, size_t{1}, size_t{8}, size_t{30}, size_t{200}, file->size() / 2,
                       file->size() - 13, file->size() - 1}) {
      SCOPED_TRACE("cut at " + std::to_string(cut));
      EXPECT_FALSE(decode(file->substr(0, cut)));
      EXPECT_FALSE(DecodePicture(file->substr(0, cut)));
    }
    std::string wrong = *file;
    wrong[1] ^= 0x20;  // "\x89pNG", "\xff\xf8"
    EXPECT_FALSE(decode(wrong));
    EXPECT_FALSE(PictureSizeOf(wrong));
  }
  std::string scrambled = png;  // damage in the image data: its checksum no longer holds
  for (size_t i = png.size() / 2; i < png.size() / 2 + 64; ++i) scrambled[i] ^= 0x5a;
  EXPECT_FALSE(DecodePng(scrambled));
  // Headers that claim huge or empty pictures: refused from the header, before
  // anything the size of the claim is allocated.
  for (auto [w, h] : {std::pair{30000u, 30000u}, {kMaxPictureSide + 1u, 10u}, {10u, kMaxPictureSide + 1u},
                      {0u, 69u}, {63u, 0u}}) {
    SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
    const std::string forgedPng = ForgedPngHeader(png, w, h);
    EXPECT_FALSE(DecodePng(forgedPng));
    EXPECT_FALSE(PictureSizeOf(forgedPng));
    const std::string forgedJpeg = ForgedJpegHeader(jpeg, static_cast<uint16_t>(w), static_cast<uint16_t>(h));
    ASSERT_FALSE(forgedJpeg.empty());
    EXPECT_FALSE(DecodeJpeg(forgedJpeg));
    EXPECT_FALSE(PictureSizeOf(forgedJpeg));
  }
  // The forgeries themselves are right: at a size within bounds the header reads.
  EXPECT_EQ(PictureSizeOf(ForgedPngHeader(png, 1000, 20))->width, 1000);
  EXPECT_EQ(PictureSizeOf(ForgedJpegHeader(jpeg, 1000, 20))->width, 1000);
}

Picture Solid(int w, int h, std::initializer_list<std::array<uint8_t, 4>> pixels) {
  Picture p;
  p.width = w;
  p.height = h;
  for (const auto& px : pixels) p.bgra.insert(p.bgra.end(), px.begin(), px.end());
  return p;
}

std::array<uint8_t, 4> At(const Picture& p, int x, int y) {
  const uint8_t* q = &p.bgra[(static_cast<size_t>(y) * static_cast<size_t>(p.width) + static_cast<size_t>(x)) * 4];
  return {q[0], q[1], q[2], q[3]};
}

TEST(Pictures, AreaScalingIsExactAndPremultiplied) {
  using Px = std::array<uint8_t, 4>;
  // 2x -> 1x: each pixel the average of its 2 x 2 block.
  Picture two = Solid(4, 2, {{0, 0, 0, 255}, {100, 0, 0, 255}, {10, 20, 30, 255}, {10, 20, 30, 255},
                             {200, 0, 0, 255}, {101, 0, 0, 255}, {10, 20, 30, 255}, {14, 24, 34, 255}});
  Picture one = Resized(two, 2, 1);
  ASSERT_EQ(one.bgra.size(), 8u);
  EXPECT_EQ(At(one, 0, 0), (Px{100, 0, 0, 255}));  // 401 / 4 rounds to 100
  EXPECT_EQ(At(one, 1, 0), (Px{11, 21, 31, 255}));

  // 4 -> 3 (2x -> 1.5x): weights 3:1, 2:2, 1:3 in thirds of a pixel.
  Picture row = Solid(4, 1, {{0, 0, 0, 255}, {120, 0, 0, 255}, {240, 0, 0, 255}, {60, 0, 0, 0}});
  Picture three = Resized(row, 3, 1);
  EXPECT_EQ(At(three, 0, 0), (Px{30, 0, 0, 255}));   // (3*0 + 1*120) / 4
  EXPECT_EQ(At(three, 1, 0), (Px{180, 0, 0, 255}));  // (2*120 + 2*240) / 4
  // A transparent pixel lends no colour, only transparency: 1*240 at alpha 255,
  // 3 parts clear, gives pure 240 at a quarter alpha.
  EXPECT_EQ(At(three, 2, 0), (Px{240, 0, 0, 64}));

  // Half-transparent next to clear: the colour stays, the alpha halves.
  Picture edge = Solid(2, 1, {{0, 0, 200, 128}, {255, 255, 255, 0}});
  EXPECT_EQ(At(Resized(edge, 1, 1), 0, 0), (Px{0, 0, 200, 64}));

  // Sizes the scaler refuses.
  EXPECT_TRUE(Resized(edge, 0, 1).bgra.empty());
  EXPECT_TRUE(Resized(Picture{}, 1, 1).bgra.empty());
  Picture lying = edge;
  lying.height = 2;  // says more pixels than it holds
  EXPECT_TRUE(Resized(lying, 1, 1).bgra.empty());

}

}  // namespace
}  // namespace velmora
