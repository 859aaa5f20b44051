// STRINGARRAY: the DYNARRAY for lists of lines; it splits texts and loads text files line by line.
#pragma once

#include "lib/dynarray.h"

// Flags of STRINGARRAY::Compare.
constexpr int STRINGARRAY_COMPARE_NUMERIC = 0x01; // difference of the decimal values
constexpr int STRINGARRAY_COMPARE_NOCASE = 0x10;  // letter case ignored

class STRINGARRAY : public DYNARRAY {
public:
    static constexpr int DefaultGrowBy = 64;

    explicit STRINGARRAY(int capacity = DefaultGrowBy);
    // Cuts source at every character of delimiters; every piece is an item, empty ones too.
    STRINGARRAY(const STRING& source, const char* delimiters, int capacity = DefaultGrowBy);

    int Compare(const STRING& a, const STRING& b, int flags) const override;

    // Inserts the lines of a text file at positions 0, 1, 2 ...; with unescape each line is resolved with
    // STRING::Unescape (strict). Returns the number of lines read (0 when the file cannot be opened).
    int Load(const char* filename, bool unescape = false);
};
