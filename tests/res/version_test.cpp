// The version information, asked for the way the About code asks for it.
#include "platform/winapi.h"
#include "res/resources.h"
#include "res/version.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string ownPath() {
    char path[260] = {};
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    EXPECT_GT(n, 0u);
    return path;
}

// The whole block, as GetFileVersionInfoSizeA and GetFileVersionInfoA give it.
std::vector<BYTE> versionBlock() {
    InstallResources();
    std::string path = ownPath();
    DWORD handle = 1;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    EXPECT_GT(size, 0u);
    EXPECT_EQ(handle, 0u);
    std::vector<BYTE> block(size + 1);
    EXPECT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));
    return block;
}

TEST(Version, ProductVersionUnderTheFirstTranslation) {
    std::vector<BYTE> block = versionBlock();
    WORD* translation = nullptr;
    UINT length = 0;
    char query[50] = "\\VarFileInfo\\Translation";
    ASSERT_TRUE(VerQueryValueA(block.data(), query, reinterpret_cast<LPVOID*>(&translation), &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 0x04b0);
    char pair[9];
    std::snprintf(pair, sizeof pair, "%04x%04x", translation[0], translation[1]);
    EXPECT_STREQ(pair, "040904b0");
    std::snprintf(query, sizeof query, "\\StringFileInfo\\%s\\%s", pair, "ProductVersion");
    char* value = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), query, reinterpret_cast<LPVOID*>(&value), &length));
    EXPECT_STREQ(value, "1, 0, 0, 0");
    EXPECT_EQ(length, std::strlen("1, 0, 0, 0") + 1);
}

TEST(Version, HoldsEveryStringAndTheFixedVersion) {
    std::vector<BYTE> block = versionBlock();
    struct Case {
        const char *key, *value;
    };
    const Case cases[] = {
        {"FileVersion", "1, 0, 0, 0"},         {"ProductVersion", "1, 0, 0, 0"},
        {"FileDescription", "Corvane MFC Application"}, {"InternalName", "Corvane"},
        {"ProductName", "Corvane Application"}, {"OriginalFilename", "Corvane.EXE"},
    };
    for (const Case& c : cases) {
        std::string query = std::string("\\StringFileInfo\\040904b0\\") + c.key;
        char* value = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<LPVOID*>(&value), &length)) << c.key;
        EXPECT_STREQ(value, c.value) << c.key;
    }
    char* copyright = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904B0\\legalcopyright",
                               reinterpret_cast<LPVOID*>(&copyright), &length));
    EXPECT_NE(std::string(copyright).find("Copyright"), std::string::npos);

    VS_FIXEDFILEINFO* fixed = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<LPVOID*>(&fixed), &length));
    EXPECT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, VS_FFI_SIGNATURE);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileType, VFT_APP);
}

// The resource itself is a VS_VERSIONINFO whose lengths add up.
TEST(Version, ResourceIsAVersionInfoBlock) {
    InstallResources();
    HRSRC r = FindResourceA(nullptr, MAKEINTRESOURCEA(VS_VERSION_INFO), RT_VERSION);
    ASSERT_NE(r, nullptr);
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, r)));
    DWORD size = SizeofResource(nullptr, r);
    ASSERT_GE(size, 6u + 32u + 52u);
    auto word = [&](size_t at) { return (unsigned)(data[at] | data[at + 1] << 8); };
    EXPECT_EQ(word(0), size);
    EXPECT_EQ(word(2), 52u);  // sizeof VS_FIXEDFILEINFO
    EXPECT_EQ(word(4), 0u);   // binary
    std::string key;
    for (size_t at = 6; word(at); at += 2) key += (char)word(at);
    EXPECT_EQ(key, "VS_VERSION_INFO");
    // The fixed part starts at the next four-byte boundary after the key.
    EXPECT_EQ(data[40] | data[41] << 8 | data[42] << 16 | (DWORD)data[43] << 24, VS_FFI_SIGNATURE);
    EXPECT_EQ(BuildVersionResource(g_versionInfo), std::vector<BYTE>(data, data + size));
}

TEST(Version, UnknownQueriesAndOtherFilesFail) {
    std::vector<BYTE> block = versionBlock();
    LPVOID value = nullptr;
    UINT length = 0;
    for (const char* query : {"\\StringFileInfo\\040904b0\\Comments", "\\StringFileInfo\\041104b0\\ProductVersion",
                              "\\VarFileInfo\\Nothing", "\\StringFileInfo"})
        EXPECT_FALSE(VerQueryValueA(block.data(), query, &value, &length)) << query;
    // Only the program's own file has this information.
    EXPECT_EQ(GetFileVersionInfoSizeA("/bin/sh", nullptr), 0u);
    std::vector<BYTE> other(4096);
    EXPECT_FALSE(GetFileVersionInfoA("/bin/sh", 0, (DWORD)other.size(), other.data()));
    // A block too small for the information is refused.
    std::string path = ownPath();
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), nullptr);
    EXPECT_FALSE(GetFileVersionInfoA(path.c_str(), 0, size - 1, other.data()));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

TEST(Version, ModuleFileNameIsCutToTheBuffer) {
    std::string path = ownPath();
    ASSERT_GT(path.size(), 4u);
    EXPECT_EQ(path[0], '/');
    char small[5];
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof small), sizeof small);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::string(small), path.substr(0, 4));
}

}  // namespace
