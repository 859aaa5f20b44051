// libFuzzer target of the archive structure, in memory: end records (classic and ZIP64), the central
// directory with its extra fields, name handling and pattern selection, then every member's local header
// and data through ZipArchive::Test, which decodes into a sink and never touches the file system.
// Output is capped at 256 KiB per input, so declared sizes cannot slow the fuzzer down.
#include "unzip/engine.h"

#include <cstdint>

namespace {

using namespace orvik::unzip;

class CappedSink : public OutputSink {
public:
    bool Write(const uint8_t*, size_t length) override {
        if (length > kCap - written_)
            return false;
        written_ += length;
        return true;
    }

private:
    static constexpr uint64_t kCap = 256u << 10;
    uint64_t written_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CollectedMessages messages(false);
    ZipArchive archive(messages);
    archive.OpenMemory(data, size, "input.zip", static_cast<int>(size % 3));
    if (!archive.IsUsable())
        return 0;
    Listing listing;
    archive.List({}, listing);
    Listing selected;
    archive.List({"*.t?t", "[a-m]*", "[!x]?/*"}, selected);
    CappedSink sink;
    const size_t members = archive.Entries().size() < 256 ? archive.Entries().size() : 256;
    for (size_t i = 0; i < members; ++i)
        archive.Test(i, sink);
    return 0;
}
