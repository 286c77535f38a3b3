#include "domain/Settings.h"

#include "foundation/Files.h"
#include "foundation/Paths.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>

#include "tests/support/TestFiles.h"

using namespace Lorvex;
using namespace Lorvex::Testing;

namespace {

void ExpectSame(const Settings& actual, const Settings& expected) {
    EXPECT_EQ(actual.dark_theme, expected.dark_theme);
    EXPECT_EQ(actual.temperature, expected.temperature);
    EXPECT_EQ(actual.max_tokens, expected.max_tokens);
    EXPECT_EQ(actual.stream_replies, expected.stream_replies);
    EXPECT_EQ(actual.enter_to_send, expected.enter_to_send);
    EXPECT_EQ(actual.show_timestamps, expected.show_timestamps);
    EXPECT_EQ(actual.check_updates, expected.check_updates);
    EXPECT_EQ(actual.last_version, expected.last_version);
    EXPECT_EQ(actual.window_width, expected.window_width);
    EXPECT_EQ(actual.window_height, expected.window_height);
    EXPECT_EQ(actual.maximized, expected.maximized);
}

// Every field away from its default, so a kept value can be told from a default.
Settings Customised() {
    Settings s;
    s.dark_theme = false;
    s.temperature = 0.3;
    s.max_tokens = 2500;
    s.stream_replies = false;
    s.enter_to_send = false;
    s.show_timestamps = false;
    s.check_updates = false;
    s.last_version = L"2.9.1";
    s.window_width = 1500;
    s.window_height = 900;
    s.maximized = true;
    return s;
}

const char kDefaultText[] =
    "{\n"
    "  \"dark_theme\": true,\n"
    "  \"temperature\": 0.7,\n"
    "  \"max_tokens\": 1000,\n"
    "  \"stream_replies\": true,\n"
    "  \"enter_to_send\": true,\n"
    "  \"show_timestamps\": true,\n"
    "  \"check_updates\": true,\n"
    "  \"last_version\": \"\",\n"
    "  \"window_width\": 1320,\n"
    "  \"window_height\": 860,\n"
    "  \"maximized\": false\n"
    "}";

}  // namespace

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override {
        dataDir_ = MakeTempFolder(L"lorvex-settings");
        Paths::SetDataDirForTesting(dataDir_);
        Settings::Instance() = Settings{};
    }
    void TearDown() override {
        Settings::Instance() = Settings{};
        EXPECT_TRUE(Files::RemoveTree(dataDir_));
    }

    static void Put(const std::string& text) { ASSERT_TRUE(Files::WriteBytes(Paths::SettingsPath(), text)); }

    std::wstring dataDir_;
};

TEST_F(SettingsFile, DefaultsBeforeAnyLoad) {
    const Settings defaults;
    EXPECT_TRUE(defaults.dark_theme);
    EXPECT_EQ(defaults.temperature, 0.7);
    EXPECT_EQ(defaults.max_tokens, 1000);
    EXPECT_TRUE(defaults.stream_replies && defaults.enter_to_send && defaults.show_timestamps &&
                defaults.check_updates);
    EXPECT_EQ(defaults.last_version, L"");
    EXPECT_EQ(defaults.window_width, 1320);
    EXPECT_EQ(defaults.window_height, 860);
    EXPECT_FALSE(defaults.maximized);
}

TEST_F(SettingsFile, MissingFileKeepsDefaultsAndCreatesNothing) {
    Settings::Load();
    ExpectSame(Settings::Instance(), Settings{});
    EXPECT_FALSE(Exists(Paths::SettingsPath()));
}

TEST_F(SettingsFile, FileThatIsNotAnObjectChangesNothing) {
    for (const char* text : {"[1, 2]", "{\"dark_theme\": false", "", "null", "\"text\""}) {
        Settings::Instance() = Customised();
        Put(text);
        Settings::Load();
        SCOPED_TRACE(text);
        ExpectSame(Settings::Instance(), Customised());
    }
}

// Each row starts from Customised(); what the row expects is applied to a copy of it. A file
// without "last_version" clears that field, so every row but the last_version ones expects it
// empty.
TEST_F(SettingsFile, LoadReadsEachMemberTolerantly) {
    struct Case {
        const char* json;
        std::function<void(Settings&)> expect;
    };
    const Case cases[] = {
        {R"({"temperature": 3})", [](Settings& s) { s.temperature = 1.5; }},
        {R"({"temperature": -1})", [](Settings& s) { s.temperature = 0; }},
        {R"({"temperature": "0.9"})", [](Settings& s) { s.temperature = 0.9; }},
        {R"({"temperature": 0.7})", [](Settings& s) { s.temperature = 0.7; }},
        {R"({"temperature": null})", [](Settings&) {}},
        {R"({"temperature": "nan"})", [](Settings&) {}},
        {R"({"temperature": "inf"})", [](Settings&) {}},
        {R"({"temperature": 1e999})", [](Settings&) {}},
        {R"({"max_tokens": 150})", [](Settings& s) { s.max_tokens = 200; }},
        {R"({"max_tokens": 4001})", [](Settings& s) { s.max_tokens = 4000; }},
        {R"({"max_tokens": 1e30})", [](Settings& s) { s.max_tokens = 4000; }},
        {R"({"max_tokens": -1e30})", [](Settings& s) { s.max_tokens = 200; }},
        {R"({"max_tokens": 999.5})", [](Settings& s) { s.max_tokens = 1000; }},
        {R"({"max_tokens": "300"})", [](Settings& s) { s.max_tokens = 300; }},
        {R"({"max_tokens": "300.0"})", [](Settings&) {}},
        {R"({"max_tokens": "99999999999999999999"})", [](Settings&) {}},
        {R"({"max_tokens": true})", [](Settings&) {}},
        {R"({"max_tokens": 300, "max_tokens": 500})", [](Settings& s) { s.max_tokens = 300; }},
        {R"({"window_width": 500})", [](Settings& s) { s.window_width = 960; }},
        {R"({"window_width": 4500.4})", [](Settings& s) { s.window_width = 4000; }},
        {R"({"window_height": 10000})", [](Settings& s) { s.window_height = 3000; }},
        {R"({"window_height": "700"})", [](Settings& s) { s.window_height = 700; }},
        {R"({"window_height": 100})", [](Settings& s) { s.window_height = 640; }},
        {R"({"dark_theme": true})", [](Settings& s) { s.dark_theme = true; }},
        {R"({"check_updates": "true"})", [](Settings& s) { s.check_updates = true; }},
        {R"({"maximized": "false"})", [](Settings& s) { s.maximized = false; }},
        {R"({"dark_theme": 1})", [](Settings&) {}},
        {R"({"dark_theme": "TRUE"})", [](Settings&) {}},
        {R"({"stream_replies": null})", [](Settings&) {}},
        {R"({"last_version": "3.0.2"})", [](Settings& s) { s.last_version = L"3.0.2"; }},
        {R"({"last_version": "versión"})", [](Settings& s) { s.last_version = L"versi\u00f3n"; }},
        {R"({"last_version": 3})", [](Settings& s) { s.last_version = L"3"; }},
        {R"({"last_version": false})", [](Settings& s) { s.last_version = L"false"; }},
        {R"({"last_version": ["3"]})", [](Settings&) {}},
        {R"({"unknown": 1, "enter_to_send": true})", [](Settings& s) { s.enter_to_send = true; }},
    };
    for (const Case& c : cases) {
        Settings::Instance() = Customised();
        Put(c.json);
        Settings::Load();
        Settings expected = Customised();
        expected.last_version.clear();
        c.expect(expected);
        SCOPED_TRACE(c.json);
        ExpectSame(Settings::Instance(), expected);
    }
}

TEST_F(SettingsFile, LoadAcceptsByteOrderMarkAndUtf16) {
    Put("\xEF\xBB\xBF{\"max_tokens\": 321}");
    Settings::Load();
    EXPECT_EQ(Settings::Instance().max_tokens, 321);

    const wchar_t utf16[] = L"\xFEFF{\"max_tokens\": 654}";
    ASSERT_TRUE(Files::WriteBytes(Paths::SettingsPath(), utf16, sizeof(utf16) - sizeof(wchar_t)));
    Settings::Load();
    EXPECT_EQ(Settings::Instance().max_tokens, 654);
}

TEST_F(SettingsFile, SaveWritesTheExactTextWithoutTemporaryLeftOver) {
    EXPECT_TRUE(Settings::Save());
    EXPECT_EQ(Content(Paths::SettingsPath()), kDefaultText);
    EXPECT_FALSE(Exists(Paths::SettingsPath() + L".tmp"));
}

TEST_F(SettingsFile, SaveThenLoadReproducesEveryField) {
    Settings saved = Customised();
    saved.temperature = 0.7;
    saved.last_version = L"3.0.2-\u00f1";
    Settings::Instance() = saved;
    ASSERT_TRUE(Settings::Save());

    Settings::Instance() = Settings{};
    Settings::Load();
    ExpectSame(Settings::Instance(), saved);
}

TEST_F(SettingsFile, SaveReplacesAReadOnlyFile) {
    Put("{}");
    ASSERT_TRUE(SetFileAttributesW(Paths::SettingsPath().c_str(), FILE_ATTRIBUTE_READONLY));
    Settings::Instance().max_tokens = 1234;
    EXPECT_TRUE(Settings::Save());
    Settings::Instance() = Settings{};
    Settings::Load();
    EXPECT_EQ(Settings::Instance().max_tokens, 1234);
}

// The new text goes to a ".tmp" file first and only then replaces the file: a target that
// cannot be replaced (here open without delete sharing, which an in-place write would still
// overwrite) keeps its previous preferences whole, and the save says it failed.
TEST_F(SettingsFile, FailedSaveKeepsThePreviousFile) {
    Put("{\"max_tokens\": 777}");
    {
        HeldFile held(Paths::SettingsPath(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
        ASSERT_TRUE(held.IsOpen());
        Settings::Instance().max_tokens = 1234;
        EXPECT_FALSE(Settings::Save());
    }
    EXPECT_EQ(Content(Paths::SettingsPath()), "{\"max_tokens\": 777}");
    EXPECT_NE(Content(Paths::SettingsPath() + L".tmp").find("\"max_tokens\": 1234"), std::string::npos);
}

// Held only for a moment, as an antivirus or a backup client holds a file it has just seen change:
// the save waits for it and goes through.
TEST_F(SettingsFile, SaveWaitsForAFileHeldForAMoment) {
    ASSERT_TRUE(Settings::Save());
    HeldFile held(Paths::SettingsPath(), GENERIC_READ, 0);
    ASSERT_TRUE(held.IsOpen());
    PauseWatch watch([&held] { held.Close(); });
    Settings::Instance().max_tokens = 1234;
    EXPECT_TRUE(Settings::Save());
    EXPECT_GE(watch.Pauses(), 1);
    Settings::Instance() = Settings{};
    Settings::Load();
    EXPECT_EQ(Settings::Instance().max_tokens, 1234);
}

// After a power cut the file may be cut short or hold only zeros (NTFS had journalled the move
// of a save whose bytes never reached the disk). The temporary beside it, when whole, holds the
// newest preferences; without one (or with a torn one too) the file is as unreadable as any
// other and the record keeps what it had.
TEST_F(SettingsFile, ATornFileGivesWayToAWholeTemporary) {
    Settings::Instance() = Customised();
    ASSERT_TRUE(Settings::Save());
    const std::string whole = Content(Paths::SettingsPath());
    const std::string zeros(whole.size(), '\0');
    const std::string cut = whole.substr(0, whole.size() / 2);
    struct Case {
        const char* what;
        std::string file;
        std::string temporary;  // none when empty
        bool fromTemporary;
    };
    const Case cases[] = {
        {"zeros, whole temporary", zeros, whole, true},
        {"cut, whole temporary", cut, whole, true},
        {"zeros, no temporary", zeros, "", false},
        {"cut, torn temporary", cut, zeros, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Put(c.file);
        Files::RemoveFile(Files::TemporaryFor(Paths::SettingsPath()));
        if (!c.temporary.empty()) {
            ASSERT_TRUE(Files::WriteBytes(Files::TemporaryFor(Paths::SettingsPath()), c.temporary));
        }
        Settings::Instance() = Settings{};
        Settings::Load();
        ExpectSame(Settings::Instance(), c.fromTemporary ? Customised() : Settings{});
    }
}
