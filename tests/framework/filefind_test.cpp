// CFileFind on the platform's directory search: a file and its length, and
// the path length the program's buffers hold.
#include "framework/afxwin.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class FileFindTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("corvane-find-" + std::to_string(::getpid()));
        fs::remove_all(root);
        fs::create_directories(root);
    }
    void TearDown() override { fs::remove_all(root); }

    static void Write(const fs::path& path, size_t bytes) {
        fs::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary);
        out << std::string(bytes, 'x');
    }

    // A file whose full path is exactly length characters long.
    fs::path PathOfLength(size_t length) const {
        std::string path = root.string();
        while (path.size() + 1 + 60 < length) path += "/" + std::string(59, 'd');
        path += "/" + std::string(length - path.size() - 1, 'f');
        return path;
    }

    fs::path root;
};

TEST_F(FileFindTest, FindsAFileAndGivesItsLength) {
    const fs::path file = root / "Drive.bin";
    Write(file, 123457);
    CFileFind finder;
    ASSERT_TRUE(finder.FindFile(file.c_str()));
    EXPECT_FALSE(finder.FindNextFile());  // the one match is the last
    EXPECT_EQ(finder.GetLength(), 123457u);

    CFileFind missing;
    EXPECT_FALSE(missing.FindFile((root / "none.bin").c_str()));
}

TEST_F(FileFindTest, RefusesNamesOfMaxPathOrMore) {
    struct Case {
        size_t length;
        bool found;
    };
    for (const Case c : {Case{MAX_PATH - 1, true}, Case{MAX_PATH, false}, Case{MAX_PATH + 40, false}}) {
        const fs::path file = PathOfLength(c.length);
        ASSERT_EQ(file.string().size(), c.length);
        Write(file, 10);
        ASSERT_TRUE(fs::exists(file));
        CFileFind finder;
        EXPECT_EQ(finder.FindFile(file.c_str()) != FALSE, c.found) << c.length;
        if (c.found) {
            finder.FindNextFile();
            EXPECT_EQ(finder.GetLength(), 10u);
        }
    }
}

}  // namespace
