// The string table in both languages, as the program loads it.
#include "platform/resources.h"
#include "platform/winapi.h"
#include "res/resource.h"
#include "res/resources.h"
#include "res/strings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

constexpr LANGID kEnglish = 0x0409;
constexpr LANGID kJapanese = 0x0411;

TEST(InterfaceLanguage, JapaneseOnlyForAJapaneseLocale) {
    struct Case {
        const char *language, *lcAll, *lcMessages, *lang;
        LANGID expected;
    };
    const Case cases[] = {
        {nullptr, nullptr, nullptr, "ja_JP.UTF-8", kJapanese},
        {nullptr, nullptr, "ja_JP.eucJP", "en_US.UTF-8", kJapanese},  // LC_MESSAGES over LANG
        {nullptr, "ja_JP.UTF-8", "en_GB.UTF-8", "en_US.UTF-8", kJapanese},  // LC_ALL over both
        {"ja:en", nullptr, nullptr, "en_US.UTF-8", kJapanese},           // LANGUAGE's first choice
        {nullptr, nullptr, nullptr, "ja", kJapanese},
        {nullptr, nullptr, nullptr, "en_US.UTF-8", kEnglish},
        {nullptr, nullptr, nullptr, "de_DE.UTF-8", kEnglish},
        {nullptr, "fr_FR.UTF-8", nullptr, "ja_JP.UTF-8", kEnglish},
        {"en:ja", nullptr, nullptr, "ja_JP.UTF-8", kEnglish},
        {"ja", nullptr, nullptr, "C", kEnglish},  // LANGUAGE does not count under C
        {nullptr, nullptr, nullptr, "C.UTF-8", kEnglish},
        {nullptr, nullptr, nullptr, "POSIX", kEnglish},
        {nullptr, nullptr, nullptr, "xx_YY", kEnglish},  // unknown
        {nullptr, nullptr, nullptr, "", kEnglish},       // set but empty
        {nullptr, nullptr, nullptr, nullptr, kEnglish},  // unset
    };
    for (const Case& c : cases) {
        auto show = [](const char* s) { return s ? std::string("\"") + s + "\"" : std::string("unset"); };
        EXPECT_EQ(platform::InterfaceLanguageFromEnvironment(c.language, c.lcAll, c.lcMessages, c.lang), c.expected)
            << "LANGUAGE " << show(c.language) << ", LC_ALL " << show(c.lcAll) << ", LC_MESSAGES "
            << show(c.lcMessages) << ", LANG " << show(c.lang);
    }
}

// Sets the locale variables for one test and puts them back afterwards.
class Locale {
public:
    explicit Locale(const char* lang) {
        for (const char* name : kNames) {
            const char* v = std::getenv(name);
            saved_.push_back(v ? std::optional<std::string>(v) : std::nullopt);
            unsetenv(name);
        }
        if (lang) setenv("LANG", lang, 1);
    }
    ~Locale() {
        for (size_t i = 0; i < saved_.size(); ++i) {
            if (saved_[i]) setenv(kNames[i], saved_[i]->c_str(), 1);
            else unsetenv(kNames[i]);
        }
    }

private:
    static constexpr const char* kNames[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
    std::vector<std::optional<std::string>> saved_;
};

std::string load(UINT id) {
    InstallResources();
    char buffer[512];
    int n = LoadStringA(GetModuleHandleA(nullptr), id, buffer, sizeof buffer);
    return std::string(buffer, n > 0 ? (size_t)n : 0);
}

TEST(StringTable, LoadsTheTextOfTheInterfaceLanguage) {
    struct Case {
        const char* lang;
        bool japanese;
    };
    const Case cases[] = {
        {"ja_JP.UTF-8", true}, {"en_US.UTF-8", false}, {"de_DE.UTF-8", false}, {"xx_YY", false}, {nullptr, false},
    };
    for (const Case& c : cases) {
        Locale locale(c.lang);
        SCOPED_TRACE(std::string("LANG ") + (c.lang ? c.lang : "unset"));
        EXPECT_EQ(GetUserDefaultUILanguage(), c.japanese ? kJapanese : kEnglish);
        EXPECT_EQ(load(IDS_EJECT_CARD), c.japanese ? "アプリケーションを終了し、CFカードを取り出してください。"
                                                   : "Quit the application, and eject the CF card from the PC.");
        EXPECT_EQ(load(IDS_TIP_BACKUP), c.japanese ? "CFカードのバックアップを行います。" : "Backup of the CF card is made.");
        // The menu text is the same English in both tables.
        EXPECT_EQ(load(IDS_ABOUTBOX), "&About Holdrin...");
        for (unsigned i = 0; i < g_stringTableSize; ++i)
            EXPECT_EQ(load(g_stringTable[i].id), c.japanese ? g_stringTable[i].japanese : g_stringTable[i].english)
                << "string " << g_stringTable[i].id;
    }
}

TEST(StringTable, EveryTextExistsInBothLanguages) {
    InstallResources();
    const UINT ids[] = {IDS_ABOUTBOX,       IDS_FILE_EXISTS,     IDS_STOP_BACKUP,   IDS_STOP_RESTORE,
                        IDS_BACKUP_FAILED,  IDS_RESTORE_FAILED,  IDS_EJECT_CARD,    IDS_CONFIRM_RESTORE,
                        IDS_FILE_NOT_FOUND, IDS_IMAGE_TOO_LARGE, IDS_CANNOT_CREATE, IDS_DRIVE_IN_USE,
                        IDS_TIP_BACKUP,     IDS_TIP_RESTORE,     IDS_TIP_QUIT,      IDS_TIP_BROWSE,
                        IDS_TIP_REFRESH,    IDS_TIP_DRIVE,       IDS_TIP_FILE_NAME, IDS_DISK_FULL};
    for (UINT id : ids)
        for (LANGID language : {kEnglish, kJapanese}) {
            HRSRC r = FindResourceExA(nullptr, RT_STRING, MAKEINTRESOURCEA(id), language);
            ASSERT_NE(r, nullptr) << "string " << id << " in language " << language;
            EXPECT_GT(SizeofResource(nullptr, r), 0u) << "string " << id;
        }
    // An id that is not in the table loads nothing.
    Locale locale("en_US.UTF-8");
    char buffer[16] = "x";
    EXPECT_EQ(LoadStringA(nullptr, 104, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "");
}

// The format comes from the string table, as in the program.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
void fill(char* text, size_t size, const std::string& format, const char* letter) {
    std::snprintf(text, size, format.c_str(), letter);
}
#pragma GCC diagnostic pop

TEST(StringTable, ConfirmRestoreTakesTheDriveLetter) {
    struct Case {
        const char* lang;
        const char* expected;
    };
    const Case cases[] = {
        {"en_US.UTF-8", "Data will be recovered in the E drive .\nDo you continue this process?"},
        {"ja_JP.UTF-8", "Eドライブにリカバリを行います。\n作業を続けますか？"},
    };
    for (const Case& c : cases) {
        Locale locale(c.lang);
        std::string format = load(IDS_CONFIRM_RESTORE);
        char text[260];
        fill(text, sizeof text, format, "E");
        EXPECT_STREQ(text, c.expected) << c.lang;
    }
}

TEST(StringTable, ShortBufferCutsOnACharacterBoundary) {
    Locale locale("ja_JP.UTF-8");
    InstallResources();
    // "CFカード..." is 2 one-byte characters and then three-byte ones.
    char buffer[7];
    int n = LoadStringA(nullptr, IDS_TIP_BACKUP, buffer, sizeof buffer);
    EXPECT_EQ(n, 5);
    EXPECT_STREQ(buffer, "CFカ");
}

}  // namespace
