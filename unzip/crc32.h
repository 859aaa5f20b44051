#pragma once
// CRC-32 of the ZIP format: reflected polynomial 0xEDB88320, initial value all ones, final complement.
#include <cstddef>
#include <cstdint>

namespace orvik::unzip {

class Crc32 {
public:
    void Update(const void* data, size_t length);
    uint32_t Value() const { return ~state_; }

    static uint32_t Of(const void* data, size_t length) {
        Crc32 crc;
        crc.Update(data, length);
        return crc.Value();
    }

private:
    uint32_t state_ = 0xFFFFFFFFu;
};

} // namespace orvik::unzip
