#include "setup/record/journalformat.h"

#include <cstring>

#include "unzip/crc32.h"

namespace journalformat {
namespace {

void Put32(std::string& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

uint32_t Get32(const std::string& bytes, size_t at) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<uint8_t>(bytes[at + i]);
    return value;
}

// Reads the payload's fields; false when they do not fill it exactly.
class PAYLOADREADER {
public:
    explicit PAYLOADREADER(const std::string& payload) : Payload(payload) {}
    bool Number(uint32_t& value) {
        if (Payload.size() - At < 4)
            return false;
        value = Get32(Payload, At);
        At += 4;
        return true;
    }
    bool Text(std::string& text) {
        uint32_t length = 0;
        if (!Number(length) || Payload.size() - At < length)
            return false;
        text = Payload.substr(At, length);
        At += length;
        return true;
    }
    bool AtEnd() const { return At == Payload.size(); }

private:
    const std::string& Payload;
    size_t At = 1; // after the kind
};

bool ReadFields(const std::string& payload, RECORD& record) {
    PAYLOADREADER reader(payload);
    uint32_t texts = 0, types = 0;
    if (!reader.Number(record.Number) || !reader.Number(texts) || !reader.Number(types))
        return false;
    if (texts > payload.size() || types > payload.size())
        return false;
    record.Texts.resize(texts);
    for (std::string& text : record.Texts)
        if (!reader.Text(text))
            return false;
    record.Types.resize(types);
    for (uint32_t& type : record.Types)
        if (!reader.Number(type))
            return false;
    return reader.AtEnd();
}

} // namespace

std::string Header() {
    std::string out(MAGIC, sizeof MAGIC);
    Put32(out, VERSION);
    return out;
}

std::string Encode(const RECORD& record) {
    std::string payload(1, static_cast<char>(record.Kind));
    Put32(payload, record.Number);
    Put32(payload, static_cast<uint32_t>(record.Texts.size()));
    Put32(payload, static_cast<uint32_t>(record.Types.size()));
    for (const std::string& text : record.Texts) {
        Put32(payload, static_cast<uint32_t>(text.size()));
        payload += text;
    }
    for (uint32_t type : record.Types)
        Put32(payload, type);
    std::string out;
    Put32(out, static_cast<uint32_t>(payload.size()));
    Put32(out, orvik::unzip::Crc32::Of(payload.data(), payload.size()));
    return out + payload;
}

CONTENTS Decode(const std::string& bytes) {
    CONTENTS contents;
    const std::string header = Header();
    if (bytes.size() < header.size() || std::memcmp(bytes.data(), MAGIC, sizeof MAGIC) != 0 ||
        Get32(bytes, sizeof MAGIC) != VERSION)
        return contents;
    contents.Valid = true;
    size_t at = header.size();
    while (at < bytes.size()) {
        if (bytes.size() - at < 8) {
            contents.Torn = true;
            break;
        }
        const uint32_t length = Get32(bytes, at);
        const uint32_t crc = Get32(bytes, at + 4);
        if (length == 0 || length > MAX_RECORD || bytes.size() - at - 8 < length) {
            contents.Torn = true;
            break;
        }
        const std::string payload = bytes.substr(at + 8, length);
        RECORD record;
        record.Kind = static_cast<KIND>(static_cast<uint8_t>(payload[0]));
        if (orvik::unzip::Crc32::Of(payload.data(), payload.size()) != crc || !ReadFields(payload, record)) {
            contents.Torn = true;
            break;
        }
        contents.Records.push_back(std::move(record));
        at += 8 + length;
    }
    return contents;
}

} // namespace journalformat
