#include "unzip/messages.h"

#include <cstdio>
#include <vector>

namespace orvik::unzip {

void Messages::Out(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Format(Stream::Out, format, args);
    va_end(args);
}

void Messages::Err(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Format(Stream::Err, format, args);
    va_end(args);
}

void Messages::Format(Stream stream, const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n <= 0)
        return;
    std::vector<char> text(static_cast<size_t>(n) + 1);
    std::vsnprintf(text.data(), text.size(), format, args);
    Emit(stream, std::string(text.data(), static_cast<size_t>(n)));
}

void Messages::Emit(Stream stream, const std::string& text) {
    FILE* f = stream == Stream::Out ? stdout : stderr;
    std::fwrite(text.data(), 1, text.size(), f);
    if (stream == Stream::Err)
        std::fflush(f);
}

} // namespace orvik::unzip
