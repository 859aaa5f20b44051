// Unpacks a whole gzip file, for tests that check what was compressed; empty when it cannot be opened.
#pragma once

#include <zlib.h>

#include <string>

inline std::string GunzipFile(const std::string& file) {
    gzFile in = gzopen(file.c_str(), "rb");
    if (in == nullptr)
        return {};
    std::string data;
    char block[65536];
    int got;
    while ((got = gzread(in, block, sizeof block)) > 0)
        data.append(block, static_cast<size_t>(got));
    gzclose(in);
    return data;
}
