// The install journal as it lies on disk: what a run is about to change, written ahead of the change, so
// that the next run can put the machine back after the process ended without warning.
//
// The file begins with the eight bytes "SETUPJNL" and a 32-bit version. Then come records, appended only:
// each is its payload's length and the CRC-32 of the payload (both 32-bit, little-endian), then the payload:
// one byte of kind and the kind's fields (texts as a 32-bit length and their bytes, numbers as 32 bits).
// A record torn by the end of the process fails its length or its CRC: reading stops there, and what stood
// before it is all the run had done.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace journalformat {

constexpr char MAGIC[8] = {'S', 'E', 'T', 'U', 'P', 'J', 'N', 'L'};
constexpr uint32_t VERSION = 1;
// No record of this journal comes near it: a longer length is damage, not a record.
constexpr uint32_t MAX_RECORD = 16u << 20;

enum class KIND : uint8_t {
    Begin = 1,       // Texts: product key, destination; Number: 1 when the run created the destination
    NewFolder = 2,   // Texts: name below the destination
    NewFile = 3,     // Texts: name below the destination
    Replaced = 4,    // Texts: name, its backup's name (both below the destination)
    KeyCreated = 5,  // Number: root; Texts: path
    KeyValues = 6,   // Number: root; Texts: path, then name, data of each value; Types: their types
    ServiceStop = 7, // the product's service is about to be stopped
    ServiceKept = 8, // it did not stop: nothing to start again
    Committed = 9,   // the run completed: what is left is to delete the backups
};

struct RECORD {
    KIND Kind = KIND::Begin;
    uint32_t Number = 0;
    std::vector<std::string> Texts;
    std::vector<uint32_t> Types;
};

// The file's first bytes.
std::string Header();
// One record as it is appended.
std::string Encode(const RECORD& record);

struct CONTENTS {
    bool Valid = false; // the header is this format's, in a version this program reads
    std::vector<RECORD> Records;
    bool Torn = false; // bytes after the last whole record (the end of an interrupted write)
};
// The records of a journal file's bytes, up to the first one that is torn or damaged.
CONTENTS Decode(const std::string& bytes);

} // namespace journalformat
