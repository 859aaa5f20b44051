// HASH: a key/value table of strings kept sorted by key (letter case ignored), read from the text form of
// "setup.cfg":
//   key=value          one entry; nothing is trimmed, the value is resolved with STRING::Unescape (strict)
//   key=={{base64}}    the value is the decoded text, its Flags carry HASH_VALUE_BASE64
//   // or # ...        comment lines, except "#Handle=n" and "#Key=text"
// Duplicate keys are kept in file order, so a look-up finds the first one of the file.
#pragma once

#include "lib/stringarray.h"

// STRING::Flags bit of a value that was written in the "={{...}}" form.
constexpr uint32_t HASH_VALUE_BASE64 = 0x01;

class HASH {
public:
    HASH();
    explicit HASH(const STRING& text);
    HASH(const HASH& other) = default;
    HASH& operator=(const HASH& other) = default;
    virtual ~HASH();

    int Count() const { return KeyArray.Count(); }
    // Position of the first key equal to key (letter case ignored); -1 when there is none.
    int IndexOf(const char* key) const;
    bool Contains(const char* key) const { return IndexOf(key) != -1; }
    // The value of key; a missing key is inserted at its sorted place with a null value. With LockTable set a
    // missing key is an error: it asserts and yields a scratch value that belongs to no key.
    STRING& operator[](const char* key);
    // Deletes the first entry of key; true when one was deleted.
    bool Remove(const char* key);
    // Stable sort by key, letter case ignored; the values move along.
    void Sort();
    STRINGARRAY Keys() const { return KeyArray; }
    const STRING* KeyAt(int index) const { return KeyArray.Get(index); }
    const STRING* ValueAt(int index) const { return Values.Get(index); }

    // Replaces the whole table by the file's contents; the Key stays when the file has no "#Key=" line.
    // False (table unchanged) when the file cannot be read.
    bool Load(const char* filename);

    int GetHandle() const { return Handle; }
    const STRING& GetKey() const { return Key; }
    bool IsLocked() const { return LockTable; }
    // Fixes the key set: looking up a missing key becomes an error.
    void SetLockTable(bool locked) { LockTable = locked; }

private:
    void Parse(const STRING& text);
    void AddLine(const STRING& line);

    int Handle = 0;
    STRINGARRAY KeyArray;
    STRINGARRAY Values;
    bool LockTable = false;
    STRING Key;
    bool HasKeyLine = false; // Parse met a "#Key=" line
    STRING Scratch; // the answer of operator[] for a missing key of a locked table
};
