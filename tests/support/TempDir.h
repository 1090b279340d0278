#pragma once

#include <filesystem>
#include <string>

namespace knokle::test {

// A fresh folder under the system's temporary folder, removed with everything in it on destruction.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "knokle-test-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::filesystem::filesystem_error("mkdtemp", std::error_code());
        root = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return root; }
    std::filesystem::path operator/(const std::string& name) const { return root / name; }

private:
    std::filesystem::path root;
};

} // namespace knokle::test
