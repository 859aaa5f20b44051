// PNG files of the robot must open in any viewer: the chunks, their CRCs and the pixel data are checked here
// by reading the file back with zlib.
#include "tests/robot/png_writer.h"
#include "tests/robot/robot_error.h"

#include <gtest/gtest.h>
#include <zlib.h>

using namespace uirobot;

namespace {

uint32_t bigEndian(const std::vector<uint8_t>& data, size_t at) {
    return uint32_t(data[at]) << 24 | uint32_t(data[at + 1]) << 16 | uint32_t(data[at + 2]) << 8 |
           data[at + 3];
}

struct Chunk {
    std::string type;
    std::vector<uint8_t> data;
};

// Splits a PNG into its chunks, checking each CRC.
std::vector<Chunk> readChunks(const std::vector<uint8_t>& png) {
    std::vector<Chunk> chunks;
    size_t at = 8;
    while (at + 12 <= png.size()) {
        uint32_t length = bigEndian(png, at);
        Chunk chunk{std::string(png.begin() + at + 4, png.begin() + at + 8),
                    std::vector<uint8_t>(png.begin() + at + 8, png.begin() + at + 8 + length)};
        uint32_t crc = static_cast<uint32_t>(crc32(0L, &png[at + 4], 4 + length));
        EXPECT_EQ(bigEndian(png, at + 8 + length), crc) << "CRC of " << chunk.type;
        chunks.push_back(chunk);
        at += 12 + length;
    }
    EXPECT_EQ(at, png.size()) << "bytes after the last chunk";
    return chunks;
}

} // namespace

TEST(RobotPngTest, WritesSignatureHeaderPixelsAndEnd) {
    Image image(3, 2);
    image.setPixel(0, 0, {255, 0, 0});
    image.setPixel(1, 0, {0, 255, 0});
    image.setPixel(2, 0, {0, 0, 255});
    image.setPixel(0, 1, {10, 20, 30});
    image.setPixel(2, 1, {255, 255, 255});

    std::vector<uint8_t> png = encodePng(image);
    const uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    ASSERT_GE(png.size(), 8u);
    EXPECT_TRUE(std::equal(std::begin(signature), std::end(signature), png.begin()));

    std::vector<Chunk> chunks = readChunks(png);
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[0].type, "IHDR");
    EXPECT_EQ(chunks[1].type, "IDAT");
    EXPECT_EQ(chunks[2].type, "IEND");
    EXPECT_TRUE(chunks[2].data.empty());

    const std::vector<uint8_t>& header = chunks[0].data;
    ASSERT_EQ(header.size(), 13u);
    EXPECT_EQ(bigEndian(header, 0), 3u);
    EXPECT_EQ(bigEndian(header, 4), 2u);
    EXPECT_EQ(header[8], 8) << "bit depth";
    EXPECT_EQ(header[9], 2) << "colour type RGB";

    std::vector<uint8_t> raw(2 * (1 + 3 * 3));
    uLongf size = static_cast<uLongf>(raw.size());
    ASSERT_EQ(uncompress(raw.data(), &size, chunks[1].data.data(), static_cast<uLong>(chunks[1].data.size())),
              Z_OK);
    ASSERT_EQ(size, raw.size());
    std::vector<uint8_t> expected = {0, 255, 0,  0,  0, 255, 0, 0,   0,   255,
                                     0, 10,  20, 30, 0, 0,   0, 255, 255, 255};
    EXPECT_EQ(raw, expected);
}

TEST(RobotPngTest, AnEmptyPictureIsAnError) {
    EXPECT_THROW(encodePng(Image()), RobotError);
}
