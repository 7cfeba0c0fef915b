// A fresh directory under the system's temporary directory for one test,
// removed with everything in it at the end.
#pragma once

#include <filesystem>
#include <string>

struct TempDir {
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Returns the path of `name` inside the directory.
    std::string file(const std::string& name) const;

    std::filesystem::path path;
};

// Returns the whole content of a file, or "<missing>" when it cannot be read.
std::string read_bytes(const std::string& path);

// Writes `bytes` to `path` as they are.
void write_bytes(const std::string& path, const std::string& bytes);
