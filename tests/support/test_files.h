#pragma once
// Whole files read and written by the tests and benchmarks.

#include <stdio.h>
#include <string>
#include <vector>

// Sets *out to the whole file at path; false when it cannot be opened.
inline bool ReadTestFile(const std::string &path, std::string *out)
{
    FILE *file = fopen(path.c_str(), "rb");
    if (file == NULL)
        return false;
    out->clear();
    char chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0)
        out->append(chunk, got);
    fclose(file);
    return true;
}

// The whole file at path, or no bytes when it cannot be opened.
inline std::string ReadTestFile(const std::string &path)
{
    std::string text;
    ReadTestFile(path, &text);
    return text;
}

inline std::vector<unsigned char> ReadTestFileBytes(const std::string &path)
{
    std::string text = ReadTestFile(path);
    return std::vector<unsigned char>(text.begin(), text.end());
}

// Writes size bytes as the whole file at path; false when that fails.
inline bool WriteTestFile(const std::string &path, const void *bytes, size_t size)
{
    FILE *file = fopen(path.c_str(), "wb");
    if (file == NULL)
        return false;
    bool ok = fwrite(bytes, 1, size, file) == size;
    return fclose(file) == 0 && ok;
}
