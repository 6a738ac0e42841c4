// Reading real image files of every supported format into host bitmaps.
#include "image_bounds.h"
#include "image_bytes.h"
#include "tests/support/byte_files.h"
#include "zalvy.h"

#include <gtest/gtest.h>

#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <dlfcn.h>
#include <sys/stat.h>

#include <memory>

namespace {

using vytest::Bytes;

// The test images are made by libstb's own writers. This program links only
// the host library, which loads libstb, so the writers are looked up in the
// process rather than linked by name (the library's build is also free of
// the sanitizers, which flag a harmless shift inside the JPEG encoder).
template <class F> F stb_writer(const char *name) {
  void *symbol = dlsym(RTLD_DEFAULT, name);
  if (symbol == nullptr)
    ADD_FAILURE() << name << " not found in libstb";
  return reinterpret_cast<F>(symbol);
}
#define STB_WRITER(name) stb_writer<decltype(&name)>(#name)
const auto write_png = STB_WRITER(stbi_write_png);
const auto write_bmp = STB_WRITER(stbi_write_bmp);
const auto write_tga = STB_WRITER(stbi_write_tga);
const auto write_jpg = STB_WRITER(stbi_write_jpg);
const auto stb_load = STB_WRITER(stbi_load);
const auto stb_free = STB_WRITER(stbi_image_free);
#undef STB_WRITER

// A 3 x 2 picture whose every pixel differs, so that a mirrored, flipped or
// channel-swapped read cannot pass. Top row first, RGB.
const unsigned char kRgb[] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 0, 0, 255, 255, 255, 0, 255};
const unsigned char kAlpha[] = {255, 200, 150, 100, 50, 0};

Bytes rgba_pixels() {
  Bytes out;
  for (int i = 0; i < 6; ++i) {
    out.insert(out.end(), kRgb + 3 * i, kRgb + 3 * i + 3);
    out.push_back(kAlpha[i]);
  }
  return out;
}

// A hand-made Targa file, so that both row orders and the footer are covered
// whatever a writer would choose.
Bytes make_targa(const Bytes &rgb_or_rgba, int width, int height, int bits, bool top_down, bool footer) {
  const int bpp = bits / 8;
  Bytes out = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  vytest::append_le16(out, width);
  vytest::append_le16(out, height);
  out.push_back(static_cast<unsigned char>(bits));
  out.push_back(static_cast<unsigned char>((bits == 32 ? 8 : 0) | (top_down ? 0x20 : 0)));
  for (int r = 0; r < height; ++r) {
    const int y = top_down ? r : height - 1 - r;
    for (int x = 0; x < width; ++x) {
      const unsigned char *p = &rgb_or_rgba[static_cast<size_t>((y * width + x) * bpp)];
      out.insert(out.end(), {p[2], p[1], p[0]});
      if (bpp == 4)
        out.push_back(p[3]);
    }
  }
  if (footer) {
    out.insert(out.end(), 8, 0);
    const char signature[] = "TRUEVISION-XFILE.";
    out.insert(out.end(), signature, signature + sizeof signature);
  }
  return out;
}

// A GIF with a four-colour table. Every two pixels the LZW coder is reset
// with a clear code, so all codes keep their first width of 3 bits.
Bytes make_gif(const unsigned char *indices, int width, int height, const unsigned char palette[12]) {
  Bytes out = {'G', 'I', 'F', '8', '9', 'a'};
  vytest::append_le16(out, width);
  vytest::append_le16(out, height);
  out.insert(out.end(), {0x91, 0, 0}); // global table of 4 entries
  out.insert(out.end(), palette, palette + 12);
  out.push_back(0x2C);
  out.insert(out.end(), {0, 0, 0, 0});
  vytest::append_le16(out, width);
  vytest::append_le16(out, height);
  out.insert(out.end(), {0, 2}); // no local table; minimum code size 2
  Bytes codes;
  for (int i = 0; i < width * height; ++i) {
    if (i % 2 == 0)
      codes.push_back(4); // clear
    codes.push_back(indices[i]);
  }
  codes.push_back(5); // end of information
  Bytes packed;
  unsigned bits = 0, count = 0;
  for (unsigned char code : codes) {
    bits |= static_cast<unsigned>(code) << count;
    for (count += 3; count >= 8; count -= 8, bits >>= 8)
      packed.push_back(static_cast<unsigned char>(bits & 0xff));
  }
  if (count > 0)
    packed.push_back(static_cast<unsigned char>(bits & 0xff));
  out.push_back(static_cast<unsigned char>(packed.size())); // small: one sub-block
  out.insert(out.end(), packed.begin(), packed.end());
  out.insert(out.end(), {0, 0x3B});
  return out;
}

std::unique_ptr<VYbitmap> read(const std::string &path) {
  return std::unique_ptr<VYbitmap>(image_reader_invoke(path.c_str()));
}

void expect_pixels(const VYbitmap *bitmap, const unsigned char *expected, int bpp, const std::string &what) {
  ASSERT_NE(bitmap, nullptr) << what;
  ASSERT_EQ(bitmap->width(), 3) << what;
  ASSERT_EQ(bitmap->height(), 2) << what;
  ASSERT_EQ(bitmap->depth(), bpp * 8) << what;
  ASSERT_EQ(bitmap->bytes_per_pixel(), bpp) << what;
  for (int i = 0; i < 6 * bpp; ++i)
    EXPECT_EQ(bitmap->data()[i], expected[i]) << what << " byte " << i;
}

class ImageReader : public ::testing::Test {
protected:
  vytest::ScratchDir dir;
};

TEST_F(ImageReader, PngRgbRgbaGreyAndGreyAlpha) {
  const std::string rgb = dir.file("rgb.png"), rgba = dir.file("rgba.png");
  ASSERT_TRUE(write_png(rgb.c_str(), 3, 2, 3, kRgb, 9));
  const Bytes four = rgba_pixels();
  ASSERT_TRUE(write_png(rgba.c_str(), 3, 2, 4, four.data(), 12));
  expect_pixels(read(rgb).get(), kRgb, 3, "png rgb");
  expect_pixels(read(rgba).get(), four.data(), 4, "png rgba");

  const unsigned char grey[] = {0, 60, 120, 180, 240, 255};
  const std::string g = dir.file("grey.png"), ga = dir.file("grey_alpha.png");
  ASSERT_TRUE(write_png(g.c_str(), 3, 2, 1, grey, 3));
  Bytes grey_alpha;
  for (int i = 0; i < 6; ++i)
    grey_alpha.insert(grey_alpha.end(), {grey[i], kAlpha[i]});
  ASSERT_TRUE(write_png(ga.c_str(), 3, 2, 2, grey_alpha.data(), 6));
  Bytes expect_rgb, expect_rgba;
  for (int i = 0; i < 6; ++i) {
    expect_rgb.insert(expect_rgb.end(), {grey[i], grey[i], grey[i]});
    expect_rgba.insert(expect_rgba.end(), {grey[i], grey[i], grey[i], kAlpha[i]});
  }
  expect_pixels(read(g).get(), expect_rgb.data(), 3, "png grey");
  expect_pixels(read(ga).get(), expect_rgba.data(), 4, "png grey+alpha");
}

TEST_F(ImageReader, BmpAndGif) {
  const std::string bmp = dir.file("pic.bmp");
  ASSERT_TRUE(write_bmp(bmp.c_str(), 3, 2, 3, kRgb));
  expect_pixels(read(bmp).get(), kRgb, 3, "bmp");

  const unsigned char palette[12] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
  const unsigned char indices[6] = {0, 1, 2, 3, 2, 0};
  vytest::write_bytes(dir.file("pic.gif"), make_gif(indices, 3, 2, palette));
  std::unique_ptr<VYbitmap> gif = read(dir.file("pic.gif"));
  ASSERT_NE(gif, nullptr);
  ASSERT_EQ(gif->width(), 3);
  ASSERT_EQ(gif->height(), 2);
  // stb_image reports GIFs as RGBA; every pixel is opaque here.
  const int bpp = gif->bytes_per_pixel();
  ASSERT_TRUE(bpp == 3 || bpp == 4);
  for (int i = 0; i < 6; ++i)
    for (int k = 0; k < 3; ++k)
      EXPECT_EQ(gif->data()[i * bpp + k], palette[indices[i] * 3 + k]) << "pixel " << i;
}

TEST_F(ImageReader, JpegKeepsOrientationWithinCompressionError) {
  // 16 x 16 in four flat quadrants: red, green / blue, white.
  const unsigned char quadrant[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
  Bytes pixels;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const unsigned char *q = quadrant[(y / 8) * 2 + x / 8];
      pixels.insert(pixels.end(), q, q + 3);
    }
  const std::string jpg = dir.file("pic.jpg");
  ASSERT_TRUE(write_jpg(jpg.c_str(), 16, 16, 3, pixels.data(), 100));
  std::unique_ptr<VYbitmap> bitmap = read(jpg);
  ASSERT_NE(bitmap, nullptr);
  ASSERT_EQ(bitmap->width(), 16);
  ASSERT_EQ(bitmap->depth(), 24);
  const int probes[4][2] = {{3, 3}, {12, 3}, {3, 12}, {12, 12}};
  for (int q = 0; q < 4; ++q) {
    const unsigned char *p = bitmap->data() + (probes[q][1] * 16 + probes[q][0]) * 3;
    for (int k = 0; k < 3; ++k)
      EXPECT_NEAR(p[k], quadrant[q][k], 24) << "quadrant " << q << " channel " << k;
  }
}

TEST_F(ImageReader, TargaEitherRowOrderWithOrWithoutFooter) {
  const Bytes four = rgba_pixels();
  const Bytes rgb(kRgb, kRgb + 18);
  for (bool top_down : {false, true})
    for (bool footer : {false, true}) {
      const std::string what = std::string(top_down ? "top-down" : "bottom-up") + (footer ? " footer" : "");
      vytest::write_bytes(dir.file("a.tga"), make_targa(rgb, 3, 2, 24, top_down, footer));
      expect_pixels(read(dir.file("a.tga")).get(), kRgb, 3, what + " 24");
      vytest::write_bytes(dir.file("b.tga"), make_targa(four, 3, 2, 32, top_down, footer));
      expect_pixels(read(dir.file("b.tga")).get(), four.data(), 4, what + " 32");
    }
  // stb's own writer compresses (run-length): that variant reads too.
  const std::string rle = dir.file("rle.tga");
  ASSERT_TRUE(write_tga(rle.c_str(), 3, 2, 3, kRgb));
  expect_pixels(read(rle).get(), kRgb, 3, "rle");
}

// Plain Targa files are read without the general decoder: they must come out
// exactly as that decoder gives them, for rows that span several read
// chunks, an odd width, an image id before the pixels and both row orders.
TEST_F(ImageReader, PlainTargaReadsExactlyAsTheGeneralDecoder) {
  const int width = 701, height = 523; // about 1.1 MiB (24 bit) or 1.5 MiB (32 bit) of pixels
  for (int bits : {24, 32})
    for (bool top_down : {false, true}) {
      const int bpp = bits / 8;
      Bytes pixels(static_cast<size_t>(width) * height * bpp);
      for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<unsigned char>(i * 7 + i / 4099);
      Bytes file = make_targa(pixels, width, height, bits, top_down, true);
      const Bytes id = {'i', 'd', '!'};
      file[0] = static_cast<unsigned char>(id.size());
      file.insert(file.begin() + 18, id.begin(), id.end());
      const std::string path = dir.file("plain.tga");
      vytest::write_bytes(path, file);
      const std::string what = std::to_string(bits) + (top_down ? " top-down" : " bottom-up");

      int w = 0, h = 0, channels = 0;
      std::unique_ptr<unsigned char, void (*)(void *)> decoded(stb_load(path.c_str(), &w, &h, &channels, bpp),
                                                               stb_free);
      ASSERT_NE(decoded, nullptr) << what;
      auto bitmap = read(path);
      ASSERT_NE(bitmap, nullptr) << what;
      ASSERT_EQ(bitmap->width(), width);
      ASSERT_EQ(bitmap->height(), height);
      ASSERT_EQ(bitmap->depth(), bits);
      EXPECT_EQ(Bytes(bitmap->data(), bitmap->data() + bitmap->data_size()), pixels) << what;
      EXPECT_EQ(Bytes(decoded.get(), decoded.get() + pixels.size()), pixels) << what;
    }
}

TEST_F(ImageReader, MissingEmptyBrokenOrCutOffFilesGiveNull) {
  EXPECT_EQ(image_reader_invoke(nullptr), nullptr);
  EXPECT_EQ(image_reader_invoke(""), nullptr);
  EXPECT_EQ(read(dir.file("missing.png")), nullptr);
  EXPECT_EQ(read(dir.path().string()), nullptr); // a directory
  vytest::write_bytes(dir.file("empty.png"), {});
  EXPECT_EQ(read(dir.file("empty.png")), nullptr);
  vytest::write_bytes(dir.file("text.png"),
                      Bytes{'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'});
  EXPECT_EQ(read(dir.file("text.png")), nullptr);

  const std::string png = dir.file("cut.png");
  ASSERT_TRUE(write_png(png.c_str(), 3, 2, 3, kRgb, 9));
  Bytes bytes = vytest::read_bytes(png);
  bytes.resize(bytes.size() / 2);
  vytest::write_bytes(png, bytes);
  EXPECT_EQ(read(png), nullptr);

  // A Targa file that stops inside its pixels must not come back whole.
  Bytes tga = make_targa(Bytes(kRgb, kRgb + 18), 3, 2, 24, false, false);
  tga.resize(tga.size() - 4);
  vytest::write_bytes(dir.file("cut.tga"), tga);
  EXPECT_EQ(read(dir.file("cut.tga")), nullptr);
}

TEST_F(ImageReader, RunLengthTargaMustHoldEveryPixel) {
  // stb's writer compresses: whole, the file reads; cut inside its packets
  // it must not come back with made-up rows.
  const std::string rle = dir.file("rle.tga");
  ASSERT_TRUE(write_tga(rle.c_str(), 3, 2, 3, kRgb));
  ASSERT_NE(read(rle), nullptr);
  Bytes bytes = vytest::read_bytes(rle);
  bytes.resize(bytes.size() - 2);
  vytest::write_bytes(rle, bytes);
  EXPECT_EQ(read(rle), nullptr);

  // 24 bytes that announce a 1791 x 64511 run-length picture (found by the
  // fuzzer: decoding it took seconds and hundreds of megabytes).
  const Bytes bomb = {0,    0, 10,   4,    0, 10, 24, 0, 0, 0,    0,    0xfe,
                      0xff, 6, 0xff, 0xfb, 8, 1,  0,  0, 0, 0x10, 0x80, 0xff};
  vytest::write_bytes(dir.file("bomb.tga"), bomb);
  EXPECT_EQ(read(dir.file("bomb.tga")), nullptr);

  // One packet that repeats a pixel 128 times covers a 16 x 8 picture.
  Bytes run = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 0, 8, 0, 24, 0, 0xff, 1, 2, 3};
  vytest::write_bytes(dir.file("run.tga"), run);
  std::unique_ptr<VYbitmap> bitmap = read(dir.file("run.tga"));
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->width(), 16);
  EXPECT_EQ(bitmap->height(), 8);
}

TEST_F(ImageReader, AFewBytesCannotAnnounceAHugePicture) {
  // 13 bytes of PPM header that announce 25222 x 2622 pixels and hold none
  // (found by the fuzzer: stb_image made up 200 MB of pixels).
  const std::string ppm = "P625222\v2622\x01";
  vytest::write_bytes(dir.file("empty.ppm"), Bytes(ppm.begin(), ppm.end()));
  EXPECT_EQ(read(dir.file("empty.ppm")), nullptr);
  // A plain 1000 x 1000 picture, which compresses very well, still reads.
  const Bytes grey(1000 * 1000, 0x80);
  const std::string png = dir.file("plain.png");
  ASSERT_TRUE(write_png(png.c_str(), 1000, 1000, 1, grey.data(), 1000));
  std::unique_ptr<VYbitmap> bitmap = read(png);
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->width(), 1000);
}

TEST_F(ImageReader, OnlyRegularFilesAreOpened) {
  // A FIFO without a writer would block the open for ever; devices never end.
  const std::string fifo = dir.file("pipe.png");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(read(fifo), nullptr);
  EXPECT_EQ(read("/dev/zero"), nullptr);
  EXPECT_EQ(read("/dev/null"), nullptr);
}

TEST_F(ImageReader, AbsurdSizesAreRefusedBeforeDecoding) {
  // A PNG whose header claims 100000 x 100000 pixels (stb_image ignores the
  // header checksum, so only the size stands in the way).
  const std::string png = dir.file("huge.png");
  ASSERT_TRUE(write_png(png.c_str(), 3, 2, 3, kRgb, 9));
  Bytes bytes = vytest::read_bytes(png);
  const unsigned char huge[8] = {0, 1, 0x86, 0xA0, 0, 1, 0x86, 0xA0};
  std::copy(huge, huge + 8, bytes.begin() + 16); // IHDR width and height
  vytest::write_bytes(png, bytes);
  EXPECT_EQ(read(png), nullptr);

  // A Targa header of 65535 x 65535 with a few pixels behind it.
  Bytes tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 0xff, 0xff, 24, 0};
  tga.insert(tga.end(), 300, 0x7f);
  vytest::write_bytes(dir.file("huge.tga"), tga);
  EXPECT_EQ(read(dir.file("huge.tga")), nullptr);
}

// Files whose header announces more pixel bytes than follow it: the reader
// refuses each before stb_image makes up the rest (or, for 16-bit grey,
// reads past its own buffer). Each is made whole first, which must read.
struct CutOff {
  const char *name;
  Bytes (*whole)(const vytest::ScratchDir &dir);
  size_t keep; // bytes kept of the whole file; 0 keeps it whole but grows the header
};

Bytes text(const std::string &s) { return Bytes(s.begin(), s.end()); }
Bytes pgm16(const vytest::ScratchDir &) { return text("P5 2 1 65535\n\x12\x34\xab\xcd"); }
Bytes ppm(const vytest::ScratchDir &) {
  return text(std::string("P6\n# made by hand\n3 2\n255\n") + std::string(kRgb, kRgb + 18));
}
Bytes stb_file(const vytest::ScratchDir &dir, bool jpeg) {
  const std::string path = dir.file(jpeg ? "w.jpg" : "w.bmp");
  const bool ok = jpeg ? write_jpg(path.c_str(), 3, 2, 3, kRgb, 95) : write_bmp(path.c_str(), 3, 2, 3, kRgb);
  EXPECT_TRUE(ok);
  return vytest::read_bytes(path);
}
Bytes bmp(const vytest::ScratchDir &dir) { return stb_file(dir, false); }
Bytes jpeg(const vytest::ScratchDir &dir) { return stb_file(dir, true); }

const CutOff kCutOff[] = {
    {"16-bit PGM", pgm16, 15},
    {"PPM", ppm, 30},
    {"BMP", bmp, 60},
    {"JPEG", jpeg, 0},
};

TEST_F(ImageReader, FilesHoldingFewerPixelsThanAnnouncedAreNotRead) {
  for (const CutOff &c : kCutOff) {
    Bytes bytes = c.whole(dir);
    vytest::write_bytes(dir.file("whole"), bytes);
    EXPECT_NE(read(dir.file("whole")), nullptr) << c.name;
    EXPECT_TRUE(vy_image_readable(dir.file("whole").c_str())) << c.name;
    bytes.resize(c.keep > 0 ? c.keep : bytes.size() - 4);
    vytest::write_bytes(dir.file("cut"), bytes);
    EXPECT_EQ(read(dir.file("cut")), nullptr) << c.name;
    EXPECT_FALSE(vy_image_readable(dir.file("cut").c_str())) << c.name;
  }
  // 4,000 bytes announcing 4096 x 4096 16-bit grey pixels, and a 40 KB
  // PPM file announcing 16384 x 16384.
  Bytes big = text("P5 4096 4096 65535\n");
  big.resize(4000, 0x55);
  vytest::write_bytes(dir.file("big.pgm"), big);
  EXPECT_EQ(read(dir.file("big.pgm")), nullptr);
  big = text("P6 16384 16384 255\n");
  big.resize(40000, 0x55);
  vytest::write_bytes(dir.file("big.ppm"), big);
  EXPECT_EQ(read(dir.file("big.ppm")), nullptr);
}

TEST_F(ImageReader, SixteenBitGreyKeepsItsHighBytes) {
  vytest::write_bytes(dir.file("grey.pgm"), pgm16(dir));
  const unsigned char expected[] = {0x12, 0x12, 0x12, 0xab, 0xab, 0xab};
  std::unique_ptr<VYbitmap> bitmap = read(dir.file("grey.pgm"));
  ASSERT_NE(bitmap, nullptr);
  ASSERT_EQ(bitmap->width(), 2);
  ASSERT_EQ(bitmap->depth(), 24);
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(bitmap->data()[i], expected[i]) << "byte " << i;
}

} // namespace

// Pictures announcing more pixels than the budget are refused from their
// header alone, with their size and the budget; from memory (a picture
// embedded in a model file) the same way.
struct OverBudget {
  const char *name;
  std::string header;
  const char *size;
};
const std::string kBudget = " pixels, more than the 64 megapixels an image may have";
const OverBudget kOverBudget[] = {
    {"PNG", std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\x20\x01\0\0\x20\0\x08\x02\0\0\0\0\0\0\0", 33),
     "8193 x 8192"},
    {"BMP",
     std::string("BM\0\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x01\x20\0\0\0\x20\0\0\x01\0\x18", 30) +
         std::string(24, '\0'),
     "8193 x 8192"},
    {"JPEG",
     std::string("\xff\xd8\xff\xc0\0\x11\x08\x65\x90\x65\x90\x03\x01\x11\0\x02\x11\x01\x03\x11\x01\xff\xd9",
                 23),
     "26000 x 26000"},
    {"Targa", std::string("\0\0\x0a\0\0\0\0\0\0\0\0\0\0\x40\0\x40\x18\0", 18) + std::string(400, '\x80'),
     "16384 x 16384"},
    {"PPM", "P6 8193 8192 255\n" + std::string(400, 'x'), "8193 x 8192"},
    {"GIF", std::string("GIF89a\xff\xff\xff\xff\0\0\0", 13) + std::string(40, '\0'), "65535 x 65535"},
};

TEST_F(ImageReader, PicturesBeyondThePixelBudgetAreRefusedFromTheirHeader) {
  for (const OverBudget &c : kOverBudget) {
    vytest::write_bytes(dir.file("over"), Bytes(c.header.begin(), c.header.end()));
    EXPECT_EQ(read(dir.file("over")), nullptr) << c.name;
    EXPECT_EQ(vy_image_reader_failure(), c.size + kBudget) << c.name;
    // The check without decoding says the same.
    EXPECT_FALSE(vy_image_readable(dir.file("over").c_str())) << c.name;
    EXPECT_EQ(vy_image_reader_failure(), c.size + kBudget) << c.name;
    EXPECT_EQ(std::unique_ptr<VYbitmap>(vy_read_image_memory(c.header.data(), c.header.size())), nullptr);
    EXPECT_EQ(vy_image_reader_failure(), c.size + kBudget) << c.name;
    // Held under a name, as a picture inside a model file is.
    ASSERT_EQ(vy_register_image_bytes(dir.file("m.glb#0"), c.header.data(), c.header.size()), "");
    EXPECT_EQ(read(dir.file("m.glb#0")), nullptr) << c.name;
    EXPECT_EQ(vy_image_reader_failure(), c.size + kBudget) << c.name;
    EXPECT_FALSE(vy_image_readable(dir.file("m.glb#0").c_str())) << c.name;
  }
  const Bytes tga = make_targa(rgba_pixels(), 3, 2, 32, true, false);
  expect_pixels(std::unique_ptr<VYbitmap>(vy_read_image_memory(tga.data(), tga.size())).get(),
                rgba_pixels().data(), 4, "in memory");
  ASSERT_EQ(vy_register_image_bytes(dir.file("m.glb#0"), tga.data(), tga.size()), "");
  EXPECT_TRUE(vy_image_readable(dir.file("m.glb#0").c_str()));
  expect_pixels(read(dir.file("m.glb#0")).get(), rgba_pixels().data(), 4, "held");
  EXPECT_NE(vy_register_image_bytes(dir.file("m.glb#1"), tga.data(), 0), ""); // nothing to hold
  vy_unregister_images_under(dir.file("m.glb#"));
  EXPECT_EQ(read(dir.file("m.glb#0")), nullptr);
  EXPECT_EQ(vy_image_reader_failure(), "No such file or directory");
  EXPECT_EQ(read("/dev/zero"), nullptr);
  EXPECT_EQ(vy_image_reader_failure(), "not a regular file");
  EXPECT_FALSE(vy_image_readable("/dev/zero"));
  EXPECT_EQ(vy_image_reader_failure(), "not a regular file");
}
