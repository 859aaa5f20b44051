// A picture in memory: 8-bit red, green, blue per pixel, rows from top to bottom.
#pragma once

#include <cstdint>
#include <vector>

namespace uirobot {

struct Rgb {
    uint8_t red = 0, green = 0, blue = 0;
    bool operator==(const Rgb& other) const {
        return red == other.red && green == other.green && blue == other.blue;
    }
    bool operator!=(const Rgb& other) const { return !(*this == other); }
};

class Image {
public:
    Image() = default;
    Image(int width, int height) : width_(width), height_(height), pixels_(size_t(width) * height * 3) {}

    int width() const { return width_; }
    int height() const { return height_; }
    bool empty() const { return width_ == 0 || height_ == 0; }

    Rgb pixel(int x, int y) const {
        const uint8_t* p = &pixels_[(size_t(y) * width_ + x) * 3];
        return {p[0], p[1], p[2]};
    }
    void setPixel(int x, int y, Rgb color) {
        uint8_t* p = &pixels_[(size_t(y) * width_ + x) * 3];
        p[0] = color.red, p[1] = color.green, p[2] = color.blue;
    }
    const uint8_t* row(int y) const { return &pixels_[size_t(y) * width_ * 3]; }

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<uint8_t> pixels_;
};

} // namespace uirobot
