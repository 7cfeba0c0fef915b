#include "tests/support/tempdir.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>

TempDir::TempDir()
{
    static std::atomic<unsigned> serial{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path = std::filesystem::temp_directory_path() /
           ("zentrik-test-" + std::to_string(stamp) + "-" + std::to_string(serial++));
    std::filesystem::create_directories(path);
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

std::string TempDir::file(const std::string& name) const
{
    return (path / name).string();
}

std::string read_bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "<missing>";
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

void write_bytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}
