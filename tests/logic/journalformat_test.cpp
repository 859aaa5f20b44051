// The install journal's records on disk: whatever the end of the file looks like after the process ended
// in the middle of a write, reading returns exactly the whole records before it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setup/record/journalformat.h"
#include "unzip/crc32.h"

namespace {

using namespace journalformat;

std::vector<RECORD> Sample() {
    return {
        {KIND::Begin, 1, {"OrvikProduct", "Q:\\Program Files\\Product"}, {}},
        {KIND::NewFolder, 0, {"docs"}, {}},
        {KIND::Replaced, 0, {"App.exe", ".setup-backup-1\\1"}, {}},
        // Values keep their bytes, zeros included, and their types.
        {KIND::KeyValues, 1, {"Software\\Key", "", std::string("a\0b", 3), "Number", "\x07\0\0\0"}, {1, 4}},
        {KIND::ServiceStop, 0, {}, {}},
    };
}

std::string Journal(const std::vector<RECORD>& records) {
    std::string bytes = Header();
    for (const RECORD& record : records)
        bytes += Encode(record);
    return bytes;
}

std::vector<std::string> Described(const std::vector<RECORD>& records) {
    std::vector<std::string> lines;
    for (const RECORD& record : records) {
        std::string line =
            std::to_string(static_cast<int>(record.Kind)) + " " + std::to_string(record.Number);
        for (const std::string& text : record.Texts)
            line += " [" + text + "]";
        for (uint32_t type : record.Types)
            line += " t" + std::to_string(type);
        lines.push_back(line);
    }
    return lines;
}

} // namespace

TEST(JournalFormat, EveryCutOfTheLastRecordReadsAsTheRecordsBeforeIt) {
    const std::vector<RECORD> records = Sample();
    const std::string whole = Journal(records);
    const std::string before = Journal({records.begin(), records.end() - 1});
    ASSERT_EQ(Described(Decode(whole).Records), Described(records));
    EXPECT_FALSE(Decode(whole).Torn);
    for (size_t cut = before.size() + 1; cut < whole.size(); ++cut) {
        const CONTENTS contents = Decode(whole.substr(0, cut));
        EXPECT_TRUE(contents.Valid);
        EXPECT_TRUE(contents.Torn) << cut;
        EXPECT_EQ(Described(contents.Records), Described({records.begin(), records.end() - 1})) << cut;
    }
}

TEST(JournalFormat, ADamagedRecordEndsTheJournalThere) {
    const std::vector<RECORD> records = Sample();
    const std::string first = Journal({records[0]});
    // A flipped byte in each part of the second record: its length, its CRC, its payload.
    for (size_t offset : {size_t{0}, size_t{5}, size_t{9}, size_t{14}}) {
        std::string bytes = Journal(records);
        bytes[first.size() + offset] ^= 0x10;
        const CONTENTS contents = Decode(bytes);
        EXPECT_TRUE(contents.Torn) << offset;
        EXPECT_EQ(Described(contents.Records), Described({records[0]})) << offset;
    }
    // Another format or version is no journal at all.
    for (size_t at : {size_t{0}, size_t{8}}) {
        std::string bytes = Journal(records);
        bytes[at] ^= 0x01;
        EXPECT_FALSE(Decode(bytes).Valid) << at;
    }
}

TEST(JournalFormat, ARecordWhoseFieldsDoNotFillItExactlyIsDamage) {
    // Well framed (length and CRC right), but the fields claim more or less than the payload holds.
    const auto framed = [](const std::string& payload) {
        std::string out;
        for (uint32_t value :
             {static_cast<uint32_t>(payload.size()), orvik::unzip::Crc32::Of(payload.data(), payload.size())})
            for (int shift = 0; shift < 32; shift += 8)
                out.push_back(static_cast<char>((value >> shift) & 0xFF));
        return out + payload;
    };
    const std::string kind(1, static_cast<char>(KIND::NewFile));
    const std::string zero("\0\0\0\0", 4), one("\1\0\0\0", 4), five("\5\0\0\0", 4);
    const std::string good = Journal({Sample()[0]});
    for (const std::string& payload : {kind + zero + one + zero + five + "abc", // a text longer than left
                                       kind + zero + zero + zero + "extra",     // bytes after the fields
                                       kind + zero + five + zero,               // five texts, none there
                                       kind}) {                                 // no fields at all
        const CONTENTS contents = Decode(good + framed(payload) + Encode(Sample()[1]));
        EXPECT_TRUE(contents.Torn) << payload.size();
        EXPECT_EQ(contents.Records.size(), 1u) << payload.size();
    }
    EXPECT_EQ(Decode(good + framed(kind + zero + one + zero + one + "a")).Records.size(), 2u);
}
