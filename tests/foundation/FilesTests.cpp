#include "foundation/Files.h"
#include "foundation/Text.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <string>
#include <vector>

#include "tests/support/TestFiles.h"

using namespace Lorvex::Files;
using namespace Lorvex::Testing;

namespace {

// Links a folder to another one: a directory symbolic link, else a junction (mount point).
bool MakeFolderLink(const std::wstring& link, const std::wstring& target) {
    if (CreateSymbolicLinkW(link.c_str(), target.c_str(),
                            SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE)) {
        const DWORD attributes = GetFileAttributesW(link.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            return true;
        }
        RemoveDirectoryW(link.c_str());
        DeleteFileW(link.c_str());
    }

    // Junction: an empty folder carrying a mount-point reparse buffer.
    if (!CreateDirectoryW(link.c_str(), nullptr)) {
        return false;
    }
    const std::wstring substitute = L"\\??\\" + target;
    const USHORT substituteBytes = static_cast<USHORT>(substitute.size() * sizeof(wchar_t));
    const USHORT printBytes = static_cast<USHORT>(target.size() * sizeof(wchar_t));
    // Header (8) + four USHORT offsets (8) + both names, each followed by a terminating zero.
    const USHORT pathBufferBytes = static_cast<USHORT>(substituteBytes + printBytes + 2 * sizeof(wchar_t));
    std::vector<BYTE> buffer(16 + pathBufferBytes, 0);
    auto put16 = [&](std::size_t at, USHORT value) { std::memcpy(buffer.data() + at, &value, sizeof(value)); };
    const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
    std::memcpy(buffer.data(), &tag, sizeof(tag));
    put16(4, static_cast<USHORT>(8 + pathBufferBytes));
    put16(8, 0);
    put16(10, substituteBytes);
    put16(12, static_cast<USHORT>(substituteBytes + sizeof(wchar_t)));
    put16(14, printBytes);
    std::memcpy(buffer.data() + 16, substitute.data(), substituteBytes);
    std::memcpy(buffer.data() + 16 + substituteBytes + sizeof(wchar_t), target.data(), printBytes);

    HANDLE handle = CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    bool ok = false;
    if (handle != INVALID_HANDLE_VALUE) {
        DWORD returned = 0;
        ok = DeviceIoControl(handle, FSCTL_SET_REPARSE_POINT, buffer.data(), static_cast<DWORD>(buffer.size()), nullptr,
                             0, &returned, nullptr) != 0;
        CloseHandle(handle);
    }
    const DWORD attributes = GetFileAttributesW(link.c_str());
    if (!ok || attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        RemoveDirectoryW(link.c_str());
        return false;
    }
    return true;
}

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (int v : values) {
        bytes.push_back(static_cast<char>(v));
    }
    return bytes;
}

}  // namespace

// A fresh folder under the temporary folder for each test, removed afterwards.
class FilesFs : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = MakeTempFolder(L"lorvex-files");
        ASSERT_TRUE(IsFolder(root_));
    }
    void TearDown() override { EXPECT_TRUE(RemoveTree(root_)); }

    std::wstring At(const std::wstring& relative) const { return JoinPath(root_, relative); }

    void Put(const std::wstring& relative, const std::string& bytes) const {
        ASSERT_TRUE(WriteBytes(At(relative), bytes));
    }

    void MakeReadOnly(const std::wstring& relative) const {
        ASSERT_TRUE(SetFileAttributesW(At(relative).c_str(), FILE_ATTRIBUTE_READONLY));
    }

    std::wstring root_;
};

TEST(FilesPathText, JoinPath) {
    struct Case {
        const wchar_t* base;
        const wchar_t* child;
        const wchar_t* joined;
    };
    const Case cases[] = {
        {L"D:\\data", L"/images/a.png", L"D:\\data\\images\\a.png"},
        {L"D:\\data\\", L"x", L"D:\\data\\x"},
        {L"D:\\data/", L"\\/x", L"D:\\data\\x"},
        {L"D:\\data", L"E:\\y", L"E:\\y"},
        {L"D:\\data", L"E:/y", L"E:/y"},
        {L"D:\\data", L"\\\\server\\share", L"\\\\server\\share"},
        {L"", L"x", L"x"},
        {L"D:\\data", L"", L"D:\\data"},
        {L"a/b", L"c/d", L"a\\b\\c\\d"},
        {L"a", L"b.json", L"a\\b.json"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(JoinPath(c.base, c.child), c.joined) << "base " << c.base << " child " << c.child;
    }
}

TEST(FilesPathText, ParentFileNameAndExtension) {
    struct Case {
        const wchar_t* path;
        const wchar_t* parent;
        const wchar_t* name;
        const wchar_t* extension;
    };
    const Case cases[] = {
        {L"D:\\x.txt", L"D:\\", L"x.txt", L".txt"},
        {L"D:\\", L"D:\\", L"", L""},
        {L"D:/x", L"D:/", L"x", L""},
        {L"a\\b", L"a", L"b", L""},
        {L"\\x", L"", L"x", L""},
        {L"x", L"", L"x", L""},
        {L"", L"", L"", L""},
        {L"a/b\\c.PNG", L"a/b", L"c.PNG", L".PNG"},
        {L"D:\\a\\b\\", L"D:\\a\\b", L"", L""},
        {L"D:\\data.old\\file", L"D:\\data.old", L"file", L""},
        {L"D:\\a\\pack.tar.gz", L"D:\\a", L"pack.tar.gz", L".gz"},
        {L"D:\\a\\.hidden", L"D:\\a", L".hidden", L".hidden"},
        {L"\\\\server\\share\\f.json", L"\\\\server\\share", L"f.json", L".json"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParentPath(c.path), c.parent) << c.path;
        EXPECT_EQ(FileName(c.path), c.name) << c.path;
        EXPECT_EQ(Extension(c.path), c.extension) << c.path;
    }
}

TEST(FilesProcess, TempDirAndExePath) {
    const std::wstring temp = TempDir();
    ASSERT_FALSE(temp.empty());
    EXPECT_NE(temp.back(), L'\\');
    EXPECT_NE(temp.back(), L'/');
    EXPECT_TRUE(IsFolder(temp));

    const std::wstring exe = ExePath();
    EXPECT_TRUE(IsFile(exe));
    std::wstring name = FileName(exe);
    std::transform(name.begin(), name.end(), name.begin(), [](wchar_t c) { return static_cast<wchar_t>(towlower(c)); });
    EXPECT_EQ(name, L"foundation_tests.exe");
}

TEST_F(FilesFs, ExistenceAndFolderCreation) {
    Put(L"file.txt", "x");
    EXPECT_TRUE(IsFile(At(L"file.txt")));
    EXPECT_FALSE(IsFile(root_));
    EXPECT_FALSE(IsFile(At(L"missing")));
    EXPECT_FALSE(IsFile(L""));

    EXPECT_TRUE(EnsureDir(At(L"a\\b/c\\")));
    EXPECT_TRUE(IsFolder(At(L"a\\b\\c")));
    EXPECT_TRUE(EnsureDir(At(L"a")));                 // already there
    EXPECT_FALSE(EnsureDir(At(L"file.txt")));         // a file is in the way
    EXPECT_FALSE(EnsureDir(At(L"file.txt\\inner")));  // and below it nothing can be made
    EXPECT_FALSE(EnsureDir(L""));
}

TEST_F(FilesFs, RemoveFileClearsReadOnlyAndLeavesFoldersAlone) {
    Put(L"locked.txt", "x");
    MakeReadOnly(L"locked.txt");
    EXPECT_TRUE(RemoveFile(At(L"locked.txt")));
    EXPECT_FALSE(Exists(At(L"locked.txt")));

    ASSERT_TRUE(EnsureDir(At(L"folder")));
    EXPECT_TRUE(RemoveFile(At(L"folder")));
    EXPECT_TRUE(IsFolder(At(L"folder")));

    EXPECT_TRUE(RemoveFile(At(L"missing")));
    EXPECT_TRUE(RemoveFile(L""));
}

TEST_F(FilesFs, RemoveFileReportsAFileInUse) {
    Put(L"busy.txt", "x");
    HeldFile held(At(L"busy.txt"), GENERIC_READ, 0);
    ASSERT_TRUE(held.IsOpen());
    EXPECT_FALSE(RemoveFile(At(L"busy.txt")));
    held.Close();
    EXPECT_TRUE(IsFile(At(L"busy.txt")));
}

TEST_F(FilesFs, RemoveTreeDeletesNestedReadOnlyContent) {
    Put(L"tree\\top.json", "1");
    Put(L"tree\\a\\b\\c\\deep.json", "2");
    Put(L"tree\\a\\hidden.dat", "3");
    ASSERT_TRUE(EnsureDir(At(L"tree\\empty")));
    MakeReadOnly(L"tree\\top.json");
    MakeReadOnly(L"tree\\a\\b\\c\\deep.json");
    ASSERT_TRUE(SetFileAttributesW(At(L"tree\\a\\hidden.dat").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    ASSERT_TRUE(SetFileAttributesW(At(L"tree\\a\\b").c_str(), FILE_ATTRIBUTE_READONLY));

    EXPECT_TRUE(RemoveTree(At(L"tree")));
    EXPECT_FALSE(Exists(At(L"tree")));
    EXPECT_TRUE(IsFolder(root_));
}

TEST_F(FilesFs, RemoveTreeWithNothingToRemove) {
    Put(L"plain.txt", "keep");
    EXPECT_TRUE(RemoveTree(At(L"missing")));
    EXPECT_TRUE(RemoveTree(L""));
    // Not a folder: nothing is done, the file stays.
    EXPECT_TRUE(RemoveTree(At(L"plain.txt")));
    EXPECT_TRUE(IsFile(At(L"plain.txt")));
}

TEST_F(FilesFs, RemoveTreeReportsWhatItCouldNotDelete) {
    Put(L"tree\\busy.txt", "x");
    Put(L"tree\\free.txt", "y");
    HeldFile held(At(L"tree\\busy.txt"), GENERIC_READ, 0);
    ASSERT_TRUE(held.IsOpen());

    EXPECT_FALSE(RemoveTree(At(L"tree")));
    EXPECT_TRUE(IsFolder(At(L"tree")));
    EXPECT_TRUE(IsFile(At(L"tree\\busy.txt")));
    EXPECT_FALSE(Exists(At(L"tree\\free.txt")));  // the rest still went
}

TEST_F(FilesFs, RemoveTreeUnlinksLinkedFoldersWithoutEnteringThem) {
    Put(L"outside\\precious.json", "keep me");
    MakeReadOnly(L"outside\\precious.json");
    Put(L"tree\\own.json", "x");
    if (!MakeFolderLink(At(L"tree\\link"), At(L"outside"))) {
        GTEST_SKIP() << "neither a directory symbolic link nor a junction can be made on this system";
    }
    ASSERT_TRUE(IsFile(At(L"tree\\link\\precious.json")));  // the link leads there

    EXPECT_TRUE(RemoveTree(At(L"tree")));
    EXPECT_FALSE(Exists(At(L"tree")));
    EXPECT_EQ(ReadBytes(At(L"outside\\precious.json")), "keep me");
    EXPECT_NE(GetFileAttributesW(At(L"outside\\precious.json").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);

    // The link itself as the folder to remove: only the link goes.
    ASSERT_TRUE(MakeFolderLink(At(L"direct"), At(L"outside")));
    EXPECT_TRUE(RemoveTree(At(L"direct")));
    EXPECT_FALSE(Exists(At(L"direct")));
    EXPECT_TRUE(IsFile(At(L"outside\\precious.json")));
    SetFileAttributesW(At(L"outside\\precious.json").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FilesFs, WriteAndReadBytesRoundTrip) {
    const std::string binary = Bytes({0, 1, 0xFF, 0, 0x80, '\r', '\n', 0});
    ASSERT_TRUE(WriteBytes(At(L"new\\nested\\bin.dat"), binary.data(), binary.size()));
    EXPECT_EQ(ReadBytes(At(L"new\\nested\\bin.dat")), binary);

    // Shorter content replaces longer content completely.
    Put(L"text.txt", "a rather long first version");
    Put(L"text.txt", "ab");
    EXPECT_EQ(ReadBytes(At(L"text.txt")), "ab");

    Put(L"empty.txt", "");
    const std::optional<std::string> empty = ReadBytes(At(L"empty.txt"));
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->empty());
}

TEST_F(FilesFs, LargeFilesCrossTheChunkSize) {
    // Past 16 MiB both loops take a second turn; the pattern catches a wrong offset.
    std::string big((16u << 20) + 3, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>((i * 31 + i / 4096) & 0xFF);
    }
    ASSERT_TRUE(WriteBytes(At(L"big.bin"), big));
    const std::optional<std::string> read = ReadBytes(At(L"big.bin"));
    ASSERT_TRUE(read.has_value());
    EXPECT_TRUE(*read == big);
}

TEST_F(FilesFs, WriteBytesReplacesAReadOnlyFile) {
    Put(L"settings.json", "old");
    ASSERT_TRUE(SetFileAttributesW(At(L"settings.json").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_TRUE(WriteBytes(At(L"settings.json"), std::string("new")));
    EXPECT_EQ(ReadBytes(At(L"settings.json")), "new");
}

TEST_F(FilesFs, WriteBytesFailsWhereNoFileCanBeWritten) {
    Put(L"held.json", "original");
    {
        HeldFile held(At(L"held.json"), GENERIC_READ, 0);
        ASSERT_TRUE(held.IsOpen());
        EXPECT_FALSE(WriteBytes(At(L"held.json"), std::string("intruder")));
    }
    EXPECT_EQ(ReadBytes(At(L"held.json")), "original");

    ASSERT_TRUE(EnsureDir(At(L"folder")));
    EXPECT_FALSE(WriteBytes(At(L"folder"), std::string("x")));
    EXPECT_TRUE(IsFolder(At(L"folder")));

    Put(L"blocker", "a file where a folder would have to be");
    EXPECT_FALSE(WriteBytes(At(L"blocker\\child.txt"), std::string("x")));
    EXPECT_FALSE(WriteBytes(L"", std::string("x")));
}

TEST_F(FilesFs, ReadBytesFailures) {
    EXPECT_FALSE(ReadBytes(At(L"missing.json")).has_value());
    EXPECT_FALSE(ReadBytes(root_).has_value());
    EXPECT_FALSE(ReadBytes(L"").has_value());
    EXPECT_FALSE(ReadText(At(L"missing.json")).has_value());

    Put(L"locked.json", "x");
    HeldFile held(At(L"locked.json"), GENERIC_READ | GENERIC_WRITE, 0);
    ASSERT_TRUE(held.IsOpen());
    EXPECT_FALSE(ReadBytes(At(L"locked.json")).has_value());
}

TEST_F(FilesFs, ReadBytesSharesWithAWriter) {
    Put(L"log.txt", "line");
    HeldFile writer(At(L"log.txt"), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_TRUE(writer.IsOpen());
    EXPECT_EQ(ReadBytes(At(L"log.txt")), "line");
}

TEST_F(FilesFs, ReadBytesRefusesAFileTooLargeForMemory) {
    // A sparse file far larger than any memory: refused up front, no crash, no endless read.
    {
        HANDLE handle =
            CreateFileW(At(L"huge.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(handle, INVALID_HANDLE_VALUE);
        DWORD returned = 0;
        DeviceIoControl(handle, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
        LARGE_INTEGER size{};
        size.QuadPart = 1LL << 43;  // 8 TiB
        const bool sized = SetFilePointerEx(handle, size, nullptr, FILE_BEGIN) && SetEndOfFile(handle);
        CloseHandle(handle);
        if (!sized) {
            GTEST_SKIP() << "this file system cannot hold an 8 TiB sparse file";
        }
    }
    EXPECT_FALSE(ReadBytes(At(L"huge.bin")).has_value());
    EXPECT_FALSE(ReadText(At(L"huge.bin")).has_value());
}

TEST_F(FilesFs, ReadTextDecodesByteOrderMarks) {
    struct Case {
        const char* label;
        std::string bytes;
        std::wstring text;
    };
    const Case cases[] = {
        {"empty file", "", L""},
        {"only the UTF-8 mark", Bytes({0xEF, 0xBB, 0xBF}), L""},
        {"UTF-8 mark and text", Bytes({0xEF, 0xBB, 0xBF}) + "{\"a\":1}", L"{\"a\":1}"},
        {"UTF-8 without mark", "a\xC3\xB1o \xE2\x82\xAC", L"a\u00F1o \u20AC"},
        {"UTF-16LE", Bytes({0xFF, 0xFE, 0x41, 0x00}), L"A"},
        {"UTF-16LE only the mark", Bytes({0xFF, 0xFE}), L""},
        {"UTF-16LE odd last byte", Bytes({0xFF, 0xFE, 0xF1, 0x00, 0x42}), L"\u00F1"},
        {"UTF-16LE surrogate pair", Bytes({0xFF, 0xFE, 0x3D, 0xD8, 0x00, 0xDE}), L"\U0001F600"},
        {"two bytes that are no mark", "ab", L"ab"},
    };
    for (const Case& c : cases) {
        Put(L"text.txt", c.bytes);
        const std::optional<std::wstring> text = ReadText(At(L"text.txt"));
        ASSERT_TRUE(text.has_value()) << c.label;
        EXPECT_EQ(*text, c.text) << c.label;
    }

    Put(L"bad.txt",
        "a\xFF"
        "b");
    const std::optional<std::wstring> bad = ReadText(At(L"bad.txt"));
    ASSERT_TRUE(bad.has_value());
    EXPECT_EQ(bad->front(), L'a');
    EXPECT_EQ(bad->back(), L'b');
    EXPECT_NE(bad->find(L'\xFFFD'), std::wstring::npos);
}

// The UTF-8 read must give exactly what the UTF-16 read gives, converted: also for marks,
// UTF-16 files and malformed bytes, where it takes another path. The buffer is reused.
TEST_F(FilesFs, ReadTextUtf8GivesReadTextAsUtf8) {
    const std::string cases[] = {
        "",
        Bytes({0xEF, 0xBB, 0xBF}),
        Bytes({0xEF, 0xBB, 0xBF}) + "{\"a\":1}",
        Bytes({0xEF, 0xBB, 0xBF, 0xEF, 0xBB, 0xBF}) + "x",
        Bytes({0xEF, 0xBB, 0xBF, 0xFF, 0xFE, 0x41, 0x00}),
        Bytes({0xFF, 0xFE, 0xF1, 0x00, 0x42}),
        Bytes({0xFF, 0xFE, 0x3D, 0xD8, 0x00, 0xDE, 0x3D, 0xD8}),
        "a\xC3\xB1o \xE2\x82\xAC \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF",
        "a\xFF"
        "b",
        "lone \x80 continuation",
        "cut at the end \xE2\x82",
        "overlong \xC0\xAF and \xE0\x80\xAF",
        "surrogate half \xED\xA0\x80",
        "beyond U+10FFFF \xF4\x90\x80\x80 \xF5\x80\x80\x80",
        std::string("nul \0 inside", 13),
    };
    std::string buffer = std::string(100, 'x');
    for (const std::string& bytes : cases) {
        Put(L"text.txt", bytes);
        const std::optional<std::wstring> wide = ReadText(At(L"text.txt"));
        ASSERT_TRUE(wide.has_value());
        ASSERT_TRUE(ReadTextUtf8(At(L"text.txt"), buffer)) << bytes;
        EXPECT_EQ(buffer, Lorvex::Text::ToUtf8(*wide)) << bytes;
    }
    EXPECT_FALSE(ReadTextUtf8(At(L"missing.txt"), buffer));
}

TEST_F(FilesFs, MoveCreatesTheTargetFolderAndRespectsReplace) {
    Put(L"src.tmp", "fresh");
    EXPECT_TRUE(Move(At(L"src.tmp"), At(L"deep\\er\\target.json"), false));
    EXPECT_FALSE(Exists(At(L"src.tmp")));
    EXPECT_EQ(ReadBytes(At(L"deep\\er\\target.json")), "fresh");

    Put(L"second.tmp", "second");
    EXPECT_FALSE(Move(At(L"second.tmp"), At(L"deep\\er\\target.json"), false));
    EXPECT_EQ(ReadBytes(At(L"deep\\er\\target.json")), "fresh");
    EXPECT_TRUE(IsFile(At(L"second.tmp")));

    MakeReadOnly(L"deep\\er\\target.json");
    EXPECT_TRUE(Move(At(L"second.tmp"), At(L"deep\\er\\target.json"), true));
    EXPECT_EQ(ReadBytes(At(L"deep\\er\\target.json")), "second");
    EXPECT_FALSE(Exists(At(L"second.tmp")));

    EXPECT_FALSE(Move(At(L"missing"), At(L"elsewhere"), true));
}

// A file another program holds for a moment (an antivirus scanning the target, or the temporary
// an earlier failed save left): the save waits and goes through once the other handle is gone,
// leaving the new content and no temporary.
TEST_F(FilesFs, WriteReplacingWaitsForAFileHeldForAMoment) {
    struct Case {
        const char* what;
        const wchar_t* held;
    };
    for (const Case& c : {Case{"the target", L"chat.json"}, Case{"the temporary", L"chat.json.tmp"}}) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteReplacing(At(L"chat.json"), "old"));
        Put(L"chat.json.tmp", "left by a save that could not replace the target");
        HeldFile held(At(c.held), GENERIC_READ, 0);
        ASSERT_TRUE(held.IsOpen());
        PauseWatch watch([&held] { held.Close(); });

        EXPECT_TRUE(WriteReplacing(At(L"chat.json"), "new"));
        EXPECT_GE(watch.Pauses(), 1);
        EXPECT_EQ(ReadBytes(At(L"chat.json")), "new");
        EXPECT_FALSE(Exists(At(L"chat.json.tmp")));
    }
}

// Held for longer than the wait: the save reports failure and the target keeps its content. The
// wait is about a second, and the next writes on the thread share it instead of each waiting a
// second more, until one goes through.
TEST_F(FilesFs, WriteReplacingGivesUpOnAFileHeldTooLong) {
    ASSERT_TRUE(WriteReplacing(At(L"a.json"), "a"));
    ASSERT_TRUE(WriteReplacing(At(L"b.json"), "b"));
    HeldFile heldA(At(L"a.json"), GENERIC_READ, FILE_SHARE_READ);
    HeldFile heldB(At(L"b.json"), GENERIC_READ, FILE_SHARE_READ);
    ASSERT_TRUE(heldA.IsOpen() && heldB.IsOpen());
    PauseWatch watch;

    const ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(WriteReplacing(At(L"a.json"), "new a"));
    const ULONGLONG waited = GetTickCount64() - start;
    EXPECT_GE(waited, 900u);
    EXPECT_LT(waited, 3000u);
    EXPECT_GE(watch.Pauses(), 3);
    EXPECT_EQ(Content(At(L"a.json")), "a");

    const int pauses = watch.Pauses();
    EXPECT_FALSE(WriteReplacing(At(L"b.json"), "new b"));
    EXPECT_EQ(watch.Pauses(), pauses);
    EXPECT_EQ(Content(At(L"b.json")), "b");

    heldA.Close();
    EXPECT_TRUE(WriteReplacing(At(L"a.json"), "new a"));
    EXPECT_EQ(Content(At(L"a.json")), "new a");
    // A save went through: the next held file is waited for again.
    PauseWatch release([&heldB] { heldB.Close(); });
    EXPECT_TRUE(WriteReplacing(At(L"b.json"), "new b"));
    EXPECT_GE(release.Pauses(), 1);
    EXPECT_EQ(Content(At(L"b.json")), "new b");
}

// What waiting cannot mend fails at once.
TEST_F(FilesFs, WriteReplacingFailsAtOnceWhereNoFileCanBeWritten) {
    ASSERT_TRUE(EnsureDir(At(L"folder.json")));
    Put(L"blocker", "a file where a folder would have to be");
    PauseWatch watch;
    EXPECT_FALSE(WriteReplacing(At(L"folder.json"), "x"));
    EXPECT_TRUE(IsFolder(At(L"folder.json")));
    EXPECT_FALSE(WriteReplacing(At(L"blocker\\inner.json"), "x"));
    EXPECT_FALSE(WriteReplacing(L"", "x"));
    EXPECT_EQ(watch.Pauses(), 0);
}

// The crash seam of the simulation: the changes it lets through reach the disk whole, every later
// one is dropped while reporting success (as a killed process's would be), and lifting the limit
// lets changes through again.
TEST_F(FilesFs, AWriteLimitDropsEveryChangeAfterItAndReportsItDone) {
    Put(L"kept.txt", "old");
    Put(L"doomed.txt", "x");
    ASSERT_TRUE(EnsureDir(At(L"tree\\inner")));
    struct Lifted {
        ~Lifted() { SetWriteLimitForTesting(-1); }
    } lifted;
    SetWriteLimitForTesting(2);
    EXPECT_TRUE(WriteBytes(At(L"first.txt"), std::string("1")));
    EXPECT_TRUE(Move(At(L"first.txt"), At(L"moved\\first.txt"), false));  // its new folder is part of it
    EXPECT_FALSE(WritesDroppedForTesting());

    EXPECT_TRUE(WriteBytes(At(L"kept.txt"), std::string("new")));
    EXPECT_TRUE(RemoveFile(At(L"doomed.txt")));
    EXPECT_TRUE(RemoveTree(At(L"tree")));
    EXPECT_TRUE(EnsureDir(At(L"never")));
    EXPECT_TRUE(Move(At(L"moved\\first.txt"), At(L"again.txt"), false));
    EXPECT_TRUE(WritesDroppedForTesting());

    // A replacing write is two changes: its temporary, then the move over the target.
    SetWriteLimitForTesting(1);
    EXPECT_TRUE(WriteReplacing(At(L"kept.txt"), "replaced"));
    EXPECT_TRUE(WritesDroppedForTesting());
    EXPECT_EQ(ReadBytes(At(L"kept.txt.tmp")), "replaced");

    SetWriteLimitForTesting(-1);
    EXPECT_EQ(ReadBytes(At(L"moved\\first.txt")), "1");
    EXPECT_EQ(ReadBytes(At(L"kept.txt")), "old");
    EXPECT_TRUE(IsFile(At(L"doomed.txt")));
    EXPECT_TRUE(IsFolder(At(L"tree\\inner")));
    EXPECT_FALSE(Exists(At(L"never")));
    EXPECT_FALSE(Exists(At(L"again.txt")));
    EXPECT_TRUE(WriteBytes(At(L"kept.txt"), std::string("newer")));
    EXPECT_EQ(ReadBytes(At(L"kept.txt")), "newer");
}

TEST_F(FilesFs, ListFilesRecursesIntoEveryFolderButMatchesOnlyFiles) {
    Put(L"a.json", "");
    Put(L"b.txt", "");
    Put(L"chars\\c.json", "");
    Put(L"chars\\c.json.bak", "");
    Put(L"chars\\deeper\\d.json", "");
    Put(L"x.json\\e.json", "");  // a folder whose name matches the pattern
    ASSERT_TRUE(EnsureDir(At(L"emptydir")));

    const std::vector<std::wstring> top = ListFiles(root_, L"*.json", false);
    EXPECT_EQ(top, std::vector<std::wstring>{At(L"a.json")});

    const std::vector<std::wstring> all = ListFiles(root_, L"*.json", true);
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.front(), At(L"a.json"));  // a folder's own files come first
    std::vector<std::wstring> sorted = all;
    std::sort(sorted.begin(), sorted.end());
    std::vector<std::wstring> expected = {At(L"a.json"), At(L"chars\\c.json"), At(L"chars\\deeper\\d.json"),
                                          At(L"x.json\\e.json")};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(sorted, expected);
    // Depth first: the inner folder's file right after its parent's own files.
    const auto c = std::find(all.begin(), all.end(), At(L"chars\\c.json"));
    ASSERT_NE(c, all.end());
    ASSERT_NE(c + 1, all.end());
    EXPECT_EQ(*(c + 1), At(L"chars\\deeper\\d.json"));

    EXPECT_EQ(ListFiles(root_, L"*", false).size(), 2u);
    EXPECT_TRUE(ListFiles(At(L"missing"), L"*", true).empty());
    EXPECT_TRUE(ListFiles(At(L"a.json"), L"*", true).empty());
    EXPECT_TRUE(ListFiles(L"", L"*", true).empty());
}

TEST_F(FilesFs, ListDirsGivesOnlyFolders) {
    Put(L"one\\f.json", "");
    ASSERT_TRUE(EnsureDir(At(L"two")));
    Put(L"file.json", "");

    std::vector<std::wstring> dirs = ListDirs(root_);
    std::sort(dirs.begin(), dirs.end());
    EXPECT_EQ(dirs, (std::vector<std::wstring>{At(L"one"), At(L"two")}));
    EXPECT_TRUE(ListDirs(At(L"missing")).empty());
    EXPECT_TRUE(ListDirs(At(L"two")).empty());
}

TEST_F(FilesFs, ListFilesDoesNotEnterLinkedFolders) {
    Put(L"outside\\foreign.json", "");
    Put(L"tree\\own.json", "");
    if (!MakeFolderLink(At(L"tree\\link"), At(L"outside"))) {
        GTEST_SKIP() << "neither a directory symbolic link nor a junction can be made on this system";
    }
    // A link back up the tree would otherwise never end.
    ASSERT_TRUE(MakeFolderLink(At(L"tree\\loop"), At(L"tree")));

    EXPECT_EQ(ListFiles(At(L"tree"), L"*.json", true), std::vector<std::wstring>{At(L"tree\\own.json")});
}
