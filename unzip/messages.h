#pragma once
// Where the engine's messages go: progress lines to standard output, warnings and errors to standard
// error. Tests and the fuzzer substitute their own sink.
#include <cstdarg>
#include <string>

#if defined(_WIN32) && !defined(__clang__)
#define ORVIK_UNZIP_PRINTF(f, a) __attribute__((format(gnu_printf, f, a)))
#else
#define ORVIK_UNZIP_PRINTF(f, a) __attribute__((format(printf, f, a)))
#endif

namespace orvik::unzip {

class Messages {
public:
    enum class Stream { Out, Err };
    virtual ~Messages() = default;

    void Out(const char* format, ...) ORVIK_UNZIP_PRINTF(2, 3);
    void Err(const char* format, ...) ORVIK_UNZIP_PRINTF(2, 3);

protected:
    virtual void Emit(Stream stream, const std::string& text);

private:
    void Format(Stream stream, const char* format, va_list args);
};

// Keeps every message in memory (tests) or drops them (fuzzing).
class CollectedMessages : public Messages {
public:
    explicit CollectedMessages(bool keep = true) : keep_(keep) {}
    const std::string& Text() const { return text_; }
    void Clear() { text_.clear(); }

protected:
    void Emit(Stream, const std::string& text) override {
        if (keep_)
            text_ += text;
    }

private:
    bool keep_;
    std::string text_;
};

} // namespace orvik::unzip
