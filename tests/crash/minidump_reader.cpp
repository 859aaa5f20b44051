#include "tests/crash/minidump_reader.h"

#include <cstring>

namespace {

constexpr uint32_t ThreadListStream = 3;
constexpr uint32_t ModuleListStream = 4;
constexpr uint32_t ExceptionStream = 6;
constexpr uint32_t Memory64ListStream = 9;
constexpr size_t ThreadEntrySize = 48;
constexpr size_t ModuleEntrySize = 108;

// Little-endian reads that report running past the end instead of reading beyond the buffer.
class CURSOR {
public:
    explicit CURSOR(const std::string& bytes) : Bytes(bytes) {}
    bool Fits(uint64_t offset, uint64_t length) const {
        return offset <= Bytes.size() && length <= Bytes.size() - offset;
    }
    template <typename T> T Read(uint64_t offset, bool& ok) const {
        T value{};
        if (!Fits(offset, sizeof value)) {
            ok = false;
            return value;
        }
        std::memcpy(&value, Bytes.data() + offset, sizeof value);
        return value;
    }
    std::string Utf16(uint32_t rva, bool& ok) const {
        const uint32_t length = Read<uint32_t>(rva, ok);
        std::string text;
        if (!ok || !Fits(uint64_t(rva) + 4, length)) {
            ok = false;
            return text;
        }
        for (uint32_t i = 0; i + 1 < length; i += 2)
            text += static_cast<char>(Bytes[rva + 4 + i]);
        return text;
    }

private:
    const std::string& Bytes;
};

} // namespace

const MINIDUMPMODULE* MINIDUMPCONTENTS::ModuleAt(uint64_t address) const {
    for (const MINIDUMPMODULE& module : Modules)
        if (address >= module.Base && address < module.Base + module.Size)
            return &module;
    return nullptr;
}

MINIDUMPCONTENTS ReadMiniDump(const std::string& bytes) {
    MINIDUMPCONTENTS dump;
    CURSOR at(bytes);
    bool ok = true;
    dump.Signature = at.Read<uint32_t>(0, ok);
    dump.StreamCount = at.Read<uint32_t>(8, ok);
    const uint32_t directory = at.Read<uint32_t>(12, ok);
    if (!ok || dump.Signature != 0x504D444D) { // "MDMP"
        dump.Error = "no minidump header";
        return dump;
    }
    for (uint32_t i = 0; i < dump.StreamCount && ok; ++i) {
        const uint64_t entry = directory + uint64_t(i) * 12;
        const uint32_t type = at.Read<uint32_t>(entry, ok);
        const uint32_t rva = at.Read<uint32_t>(entry + 8, ok);
        dump.StreamTypes.push_back(type);
        if (type == ThreadListStream) {
            const uint32_t count = at.Read<uint32_t>(rva, ok);
            for (uint32_t t = 0; t < count && ok; ++t)
                dump.ThreadIds.push_back(at.Read<uint32_t>(rva + 4 + uint64_t(t) * ThreadEntrySize, ok));
        } else if (type == ModuleListStream) {
            const uint32_t count = at.Read<uint32_t>(rva, ok);
            for (uint32_t m = 0; m < count && ok; ++m) {
                const uint64_t module = rva + 4 + uint64_t(m) * ModuleEntrySize;
                MINIDUMPMODULE entry;
                entry.Base = at.Read<uint64_t>(module, ok);
                entry.Size = at.Read<uint32_t>(module + 8, ok);
                entry.Name = at.Utf16(at.Read<uint32_t>(module + 20, ok), ok);
                dump.Modules.push_back(entry);
            }
        } else if (type == ExceptionStream) {
            MINIDUMPEXCEPTION& e = dump.Exception;
            e.Present = true;
            e.ThreadId = at.Read<uint32_t>(rva, ok);
            e.Code = at.Read<uint32_t>(rva + 8, ok);
            e.Address = at.Read<uint64_t>(rva + 24, ok);
            const uint32_t parameters = at.Read<uint32_t>(rva + 32, ok);
            for (uint32_t p = 0; p < parameters && p < 15 && ok; ++p)
                e.Parameters.push_back(at.Read<uint64_t>(rva + 40 + uint64_t(p) * 8, ok));
        } else if (type == Memory64ListStream) {
            const uint64_t ranges = at.Read<uint64_t>(rva, ok);
            for (uint64_t r = 0; r < ranges && ok; ++r)
                dump.Memory64Bytes += at.Read<uint64_t>(rva + 16 + r * 16 + 8, ok);
        }
    }
    if (!ok)
        dump.Error = "a stream runs past the end of the file";
    return dump;
}
