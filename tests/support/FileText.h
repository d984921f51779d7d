#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

// A whole file's bytes as a string; empty when it cannot be read. Test thread.
inline std::string Slurp(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Writes the bytes as the whole file. Test thread.
inline void Spill(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}
