#include "tests/robot/png_writer.h"

#include "tests/robot/robot_error.h"
#include "tests/robot/text.h"

#include <zlib.h>

#include <cstdio>
#include <memory>

namespace uirobot {

namespace {

void appendBigEndian(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(uint8_t(value >> 24));
    out.push_back(uint8_t(value >> 16));
    out.push_back(uint8_t(value >> 8));
    out.push_back(uint8_t(value));
}

// A chunk is length, type, data and a CRC over type and data.
void appendChunk(std::vector<uint8_t>& out, const char type[4], const std::vector<uint8_t>& data) {
    appendBigEndian(out, static_cast<uint32_t>(data.size()));
    size_t typeStart = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    uLong crc = crc32(0L, out.data() + typeStart, static_cast<uInt>(out.size() - typeStart));
    appendBigEndian(out, static_cast<uint32_t>(crc));
}

std::vector<uint8_t> header(const Image& image) {
    std::vector<uint8_t> data;
    appendBigEndian(data, static_cast<uint32_t>(image.width()));
    appendBigEndian(data, static_cast<uint32_t>(image.height()));
    const uint8_t bitDepth = 8, colourTypeRgb = 2, deflate = 0, adaptiveFilters = 0, noInterlace = 0;
    data.insert(data.end(), {bitDepth, colourTypeRgb, deflate, adaptiveFilters, noInterlace});
    return data;
}

std::vector<uint8_t> compressedRows(const Image& image) {
    // Every row starts with its filter type; 0 (none) is simple and screenshots compress well anyway.
    std::vector<uint8_t> raw;
    size_t rowBytes = size_t(image.width()) * 3;
    raw.reserve((rowBytes + 1) * image.height());
    for (int y = 0; y < image.height(); ++y) {
        raw.push_back(0);
        raw.insert(raw.end(), image.row(y), image.row(y) + rowBytes);
    }
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(size);
    if (compress2(packed.data(), &size, raw.data(), static_cast<uLong>(raw.size()), Z_BEST_SPEED) != Z_OK)
        throw RobotError("zlib could not compress the picture");
    packed.resize(size);
    return packed;
}

} // namespace

std::vector<uint8_t> encodePng(const Image& image) {
    if (image.empty())
        throw RobotError("cannot encode an empty picture");
    static const uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> out(std::begin(signature), std::end(signature));
    appendChunk(out, "IHDR", header(image));
    appendChunk(out, "IDAT", compressedRows(image));
    appendChunk(out, "IEND", {});
    return out;
}

void writePng(const Image& image, const std::string& path) {
    std::vector<uint8_t> png = encodePng(image);
    std::unique_ptr<FILE, decltype(&fclose)> file(_wfopen(toWide(path).c_str(), L"wb"), &fclose);
    if (!file || fwrite(png.data(), 1, png.size(), file.get()) != png.size())
        throw RobotError("cannot write " + path);
}

} // namespace uirobot
