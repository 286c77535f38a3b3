#include "foundation/Paths.h"

#include "foundation/Files.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/FolderLinks.h"
#include "tests/support/TestFiles.h"

using namespace Lorvex;
using namespace Lorvex::Testing;

// A fresh folder per test standing in for the user's folders: "docs" (Documents), "roaming"
// (roaming application data) and "roaming\LorvexData" (the data folder).
class PathsMigration : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = MakeTempFolder(L"lorvex-paths");
        ASSERT_TRUE(Files::EnsureDir(At(L"docs")));
        ASSERT_TRUE(Files::EnsureDir(At(L"roaming")));
        data_ = At(L"roaming\\LorvexData");
        legacy_ = At(L"docs\\VelmorinData");
        former_ = At(L"roaming\\Velmorin");
    }
    void TearDown() override {
        for (const std::wstring& link : links_) {
            EXPECT_TRUE(RemoveFolderLink(link));
        }
        EXPECT_TRUE(Files::RemoveTree(root_));
    }

    std::wstring At(const std::wstring& relative) const { return Files::JoinPath(root_, relative); }

    static void Put(const std::wstring& path, const std::string& bytes) { ASSERT_TRUE(Files::WriteBytes(path, bytes)); }

    bool Migrate() const { return Paths::MigrateLegacyData(data_, At(L"docs"), At(L"roaming")); }

    // A symbolic link to a folder, removed again before the test's folder is.
    bool Link(const std::wstring& link, const std::wstring& target) {
        links_.push_back(link);
        return MakeFolderLink(link, target);
    }

    std::wstring root_;
    std::wstring data_;
    std::wstring legacy_;
    std::wstring former_;
    std::vector<std::wstring> links_;
};

const char* const kNoLinks = "no symbolic link to a folder can be made here";

TEST(PathsDataDir, ComputedFromTheKnownFolders) {
    struct Case {
        const wchar_t* roaming;
        const wchar_t* local;
        const wchar_t* dataDir;
    };
    const Case cases[] = {
        {L"C:\\Users\\ana\\AppData\\Roaming", L"C:\\Users\\ana\\AppData\\Local",
         L"C:\\Users\\ana\\AppData\\Roaming\\LorvexData"},
        {L"", L"C:\\Users\\ana\\AppData\\Local", L"C:\\Users\\ana\\AppData\\Local\\LorvexData"},
        {L"", L"", L"LorvexData"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Paths::ComputeDataDir(c.roaming, c.local), c.dataDir) << c.roaming << " | " << c.local;
    }

    const std::wstring computed = Paths::ComputeDataDir();
    EXPECT_EQ(Files::FileName(computed), L"LorvexData");
    ASSERT_GE(computed.size(), 3u);
    EXPECT_EQ(computed[1], L':');  // the system names a roaming folder here
}

TEST(PathsDataDir, TestSeamRepointsTheFixedFolder) {
    const std::wstring original = Paths::DataDir();
    const std::wstring* reference = &Paths::DataDir();

    Paths::SetDataDirForTesting(L"D:\\tmp\\case");
    EXPECT_EQ(&Paths::DataDir(), reference);
    EXPECT_EQ(Paths::DataDir(), L"D:\\tmp\\case");
    EXPECT_EQ(Paths::ImagesDir(), L"D:\\tmp\\case\\images");
    EXPECT_EQ(Paths::SettingsPath(), L"D:\\tmp\\case\\settings.json");

    Paths::SetDataDirForTesting(original);
    EXPECT_EQ(Paths::DataDir(), original);
}

TEST_F(PathsMigration, MoveTreeMergesAndTheTargetWins) {
    const std::wstring source = At(L"source");
    const std::wstring target = At(L"target");
    Put(Files::JoinPath(source, L"characters\\a\\character.json"), "old a");
    Put(Files::JoinPath(source, L"characters\\b\\chats\\1.json"), "b chat");
    Put(Files::JoinPath(source, L"top.json"), "top");
    Put(Files::JoinPath(target, L"characters\\a\\character.json"), "new a");

    EXPECT_TRUE(Paths::MoveTree(source + L"\\", target));

    EXPECT_EQ(Content(Files::JoinPath(target, L"characters\\a\\character.json")), "new a");
    EXPECT_EQ(Content(Files::JoinPath(target, L"characters\\b\\chats\\1.json")), "b chat");
    EXPECT_EQ(Content(Files::JoinPath(target, L"top.json")), "top");
    // The skipped file stays; moved files are gone; emptied folders stay.
    EXPECT_EQ(Content(Files::JoinPath(source, L"characters\\a\\character.json")), "old a");
    EXPECT_FALSE(Exists(Files::JoinPath(source, L"top.json")));
    EXPECT_TRUE(IsFolder(Files::JoinPath(source, L"characters\\b\\chats")));
}

TEST_F(PathsMigration, NothingToMigrateTouchesNothing) {
    EXPECT_TRUE(Migrate());
    EXPECT_FALSE(Exists(data_));

    // Unknown Documents and roaming folders: nothing to look at either.
    EXPECT_TRUE(Paths::MigrateLegacyData(data_, L"", L""));
    EXPECT_FALSE(Exists(data_));
}

TEST_F(PathsMigration, FormerDataFolderIsRenamedInOneStep) {
    Put(Files::JoinPath(legacy_, L"characters\\a\\character.json"), "a");
    Put(Files::JoinPath(legacy_, L"settings.json"), "{}");
    ASSERT_TRUE(SetFileAttributesW(Files::JoinPath(legacy_, L"settings.json").c_str(), FILE_ATTRIBUTE_READONLY));
    // An empty folder survives only a rename, never a file-by-file merge.
    ASSERT_TRUE(Files::EnsureDir(Files::JoinPath(legacy_, L"images")));

    EXPECT_TRUE(Migrate());

    EXPECT_FALSE(Exists(legacy_));
    EXPECT_EQ(Content(Files::JoinPath(data_, L"characters\\a\\character.json")), "a");
    EXPECT_EQ(Content(Files::JoinPath(data_, L"settings.json")), "{}");
    EXPECT_TRUE(IsFolder(Files::JoinPath(data_, L"images")));
}

TEST_F(PathsMigration, MergeKeepsTheDataFolderAndWhatWasNotBroughtOver) {
    Put(Files::JoinPath(data_, L"characters\\a\\character.json"), "current a");
    Put(Files::JoinPath(legacy_, L"characters\\a\\character.json"), "former a");
    Put(Files::JoinPath(legacy_, L"characters\\a\\chats\\1.json"), "a chat");
    Put(Files::JoinPath(legacy_, L"characters\\b\\character.json"), "b");
    Put(Files::JoinPath(legacy_, L"images\\p.png"), "png");

    EXPECT_TRUE(Migrate());

    EXPECT_EQ(Content(Files::JoinPath(data_, L"characters\\a\\character.json")), "current a");
    EXPECT_EQ(Content(Files::JoinPath(data_, L"characters\\a\\chats\\1.json")), "a chat");
    EXPECT_EQ(Content(Files::JoinPath(data_, L"characters\\b\\character.json")), "b");
    EXPECT_EQ(Content(Files::JoinPath(data_, L"images\\p.png")), "png");

    // Only the file the data folder already had stays behind; the emptied folders are gone.
    EXPECT_EQ(Files::ListFiles(legacy_, L"*", true),
              std::vector<std::wstring>{Files::JoinPath(legacy_, L"characters\\a\\character.json")});
    EXPECT_FALSE(Exists(Files::JoinPath(legacy_, L"images")));
    EXPECT_FALSE(Exists(Files::JoinPath(legacy_, L"characters\\b")));
    EXPECT_FALSE(Exists(Files::JoinPath(legacy_, L"characters\\a\\chats")));
}

TEST_F(PathsMigration, MergeRemovesTheFormerFolderOnceEverythingMoved) {
    ASSERT_TRUE(Files::EnsureDir(data_));
    Put(Files::JoinPath(legacy_, L"characters\\a\\character.json"), "a");
    Put(Files::JoinPath(legacy_, L"cloud.json"), "{}");

    EXPECT_TRUE(Migrate());

    EXPECT_FALSE(Exists(legacy_));
    EXPECT_EQ(Content(Files::JoinPath(data_, L"characters\\a\\character.json")), "a");
    EXPECT_EQ(Content(Files::JoinPath(data_, L"cloud.json")), "{}");
}

TEST_F(PathsMigration, AFileInUseFailsAndIsTriedAgainNextTime) {
    ASSERT_TRUE(Files::EnsureDir(data_));
    Put(Files::JoinPath(legacy_, L"characters\\a\\character.json"), "busy");
    Put(Files::JoinPath(legacy_, L"characters\\b\\character.json"), "free");
    {
        HeldFile held(Files::JoinPath(legacy_, L"characters\\a\\character.json"), GENERIC_READ | GENERIC_WRITE, 0);
        ASSERT_TRUE(held.IsOpen());

        EXPECT_FALSE(Migrate());

        EXPECT_FALSE(Exists(Files::JoinPath(data_, L"characters\\a\\character.json")));
        EXPECT_EQ(Content(Files::JoinPath(data_, L"characters\\b\\character.json")), "free");
        EXPECT_TRUE(IsFolder(legacy_));
        EXPECT_FALSE(Exists(Files::JoinPath(legacy_, L"characters\\b")));
    }
    EXPECT_EQ(Content(Files::JoinPath(legacy_, L"characters\\a\\character.json")), "busy");

    // Next start: only what is still missing moves, and the former folder goes.
    EXPECT_TRUE(Migrate());
    EXPECT_EQ(Content(Files::JoinPath(data_, L"characters\\a\\character.json")), "busy");
    EXPECT_FALSE(Exists(legacy_));
}

TEST_F(PathsMigration, AFileThatCanOnlyBeCopiedIsBroughtOver) {
    ASSERT_TRUE(Files::EnsureDir(data_));
    const std::wstring busy = Files::JoinPath(legacy_, L"account.dat");
    Put(busy, "account");
    Put(Files::JoinPath(legacy_, L"cloud.json"), "{}");
    {
        // Readers may share it, but it cannot be moved or deleted while this handle is open.
        HeldFile held(busy, GENERIC_READ, FILE_SHARE_READ);
        ASSERT_TRUE(held.IsOpen());
        EXPECT_TRUE(Migrate());
    }
    EXPECT_EQ(Content(Files::JoinPath(data_, L"account.dat")), "account");
    EXPECT_EQ(Content(Files::JoinPath(data_, L"cloud.json")), "{}");
    // Its original could not be deleted, so it and its folder stay.
    EXPECT_TRUE(Files::IsFile(busy));
    EXPECT_FALSE(Exists(Files::JoinPath(legacy_, L"cloud.json")));
}

TEST_F(PathsMigration, TheOriginalOfAFileThatCouldOnlyBeCopiedGoesOnceItIsFree) {
    ASSERT_TRUE(Files::EnsureDir(data_));
    const std::wstring busy = Files::JoinPath(legacy_, L"account.dat");
    const std::wstring copy = Files::JoinPath(data_, L"account.dat");
    Put(busy, "account");
    // A folder's own files go before its sub-folders, so all of these still have to move after
    // the copy is made: time enough for the reader below to let go first.
    for (int i = 0; i < 60; ++i) {
        Put(Files::JoinPath(legacy_, L"characters\\c" + std::to_wstring(i) + L"\\character.json"), "c");
    }
    // Another program reads the file, so it cannot be moved, and closes it once the copy exists.
    HeldFile reader(busy, GENERIC_READ, FILE_SHARE_READ);
    ASSERT_TRUE(reader.IsOpen());
    std::atomic<bool> stop{false};
    std::thread closer([&] {
        while (!stop && !Files::IsFile(copy)) {
            Sleep(1);
        }
        reader.Close();
    });

    const bool result = Migrate();
    stop = true;
    closer.join();

    EXPECT_TRUE(result);
    EXPECT_EQ(Content(copy), "account");
    EXPECT_EQ(Content(Files::JoinPath(data_, L"characters\\c59\\character.json")), "c");
    EXPECT_FALSE(Exists(busy));
    EXPECT_FALSE(Exists(legacy_));
}

TEST_F(PathsMigration, AFailedRenameWithNoDataFolderYetMergesFileByFile) {
    // The rename fails (across volumes, in practice; here the data folder's parent is missing) and
    // there is no data folder yet: the merge makes it.
    const std::wstring data = At(L"missing\\LorvexData");
    Put(Files::JoinPath(legacy_, L"characters\\a\\character.json"), "a");
    Put(Files::JoinPath(legacy_, L"settings.json"), "{}");
    ASSERT_TRUE(Files::EnsureDir(Files::JoinPath(legacy_, L"images")));

    EXPECT_TRUE(Paths::MigrateLegacyData(data, At(L"docs"), L""));

    EXPECT_EQ(Content(Files::JoinPath(data, L"characters\\a\\character.json")), "a");
    EXPECT_EQ(Content(Files::JoinPath(data, L"settings.json")), "{}");
    EXPECT_FALSE(Exists(Files::JoinPath(data, L"images")));  // file by file: an empty folder stays behind
    EXPECT_FALSE(Exists(legacy_));                           // ... and goes with the emptied former folder
}

TEST_F(PathsMigration, TheProgramsOwnEntryPointLooksInTheUsersFolders) {
    // The user's Documents and roaming folders of this prefix, with the data folder pointed at the
    // test's own through the seam.
    const std::wstring documents = Paths::DocumentsDir();
    const std::wstring roaming = Files::ParentPath(Paths::ComputeDataDir());
    ASSERT_FALSE(documents.empty());
    const std::wstring legacy = Files::JoinPath(documents, L"VelmorinData");
    const std::wstring former = Files::JoinPath(roaming, L"Velmorin");
    ASSERT_FALSE(Exists(legacy)) << "left from an earlier run";
    ASSERT_FALSE(Exists(former)) << "left from an earlier run";
    Put(Files::JoinPath(legacy, L"characters\\a\\character.json"), "a");
    Put(Files::JoinPath(former, L"account.dat"), "account");
    const std::wstring original = Paths::DataDir();
    Paths::SetDataDirForTesting(data_);

    const bool result = Paths::MigrateLegacyData();

    Paths::SetDataDirForTesting(original);
    const bool legacyGone = !Exists(legacy);
    const bool formerGone = !Exists(former);
    Files::RemoveTree(legacy);
    Files::RemoveTree(former);
    EXPECT_TRUE(result);
    EXPECT_EQ(Content(Files::JoinPath(data_, L"characters\\a\\character.json")), "a");
    EXPECT_EQ(Content(Files::JoinPath(data_, L"account.dat")), "account");
    EXPECT_TRUE(legacyGone);
    EXPECT_TRUE(formerGone);
}

TEST_F(PathsMigration, RoamingFilesMoveAndTheDataFolderWins) {
    struct Case {
        const char* label;
        std::vector<std::wstring> formerFiles;  // in roaming\Velmorin
        std::vector<std::wstring> dataFiles;    // already in the data folder
        bool formerFolderGone;
    };
    const Case cases[] = {
        {"all three, nothing in the way", {L"settings.json", L"account.dat", L"cloud.json"}, {}, true},
        {"settings already in the data folder", {L"settings.json", L"account.dat"}, {L"settings.json"}, false},
        {"an unrelated file in the former folder", {L"cloud.json", L"notes.txt"}, {}, false},
        {"an empty former folder", {}, {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_TRUE(Files::RemoveTree(data_));
        ASSERT_TRUE(Files::RemoveTree(former_));
        ASSERT_TRUE(Files::EnsureDir(former_));
        for (const std::wstring& name : c.formerFiles) {
            Put(Files::JoinPath(former_, name), "former");
        }
        for (const std::wstring& name : c.dataFiles) {
            Put(Files::JoinPath(data_, name), "current");
        }

        EXPECT_TRUE(Migrate());

        EXPECT_TRUE(IsFolder(data_));
        EXPECT_EQ(IsFolder(former_), !c.formerFolderGone);
        for (const std::wstring& name : c.formerFiles) {
            const bool known = name == L"settings.json" || name == L"account.dat" || name == L"cloud.json";
            const bool wasInData = std::find(c.dataFiles.begin(), c.dataFiles.end(), name) != c.dataFiles.end();
            if (!known) {
                EXPECT_EQ(Content(Files::JoinPath(former_, name)), "former");
                EXPECT_FALSE(Exists(Files::JoinPath(data_, name)));
            } else if (wasInData) {
                EXPECT_EQ(Content(Files::JoinPath(data_, name)), "current");
                EXPECT_EQ(Content(Files::JoinPath(former_, name)), "former");
            } else {
                EXPECT_EQ(Content(Files::JoinPath(data_, name)), "former");
                EXPECT_FALSE(Exists(Files::JoinPath(former_, name)));
            }
        }
    }
}

TEST_F(PathsMigration, ARoamingFileInUseFails) {
    Put(Files::JoinPath(former_, L"settings.json"), "former");
    Put(Files::JoinPath(former_, L"cloud.json"), "{}");
    {
        HeldFile held(Files::JoinPath(former_, L"settings.json"), GENERIC_READ | GENERIC_WRITE, 0);
        ASSERT_TRUE(held.IsOpen());
        EXPECT_FALSE(Migrate());
    }
    EXPECT_EQ(Content(Files::JoinPath(former_, L"settings.json")), "former");
    EXPECT_EQ(Content(Files::JoinPath(data_, L"cloud.json")), "{}");
    EXPECT_FALSE(Exists(Files::JoinPath(data_, L"settings.json")));
}

TEST_F(PathsMigration, BothFormerPlacesInOneRun) {
    Put(Files::JoinPath(legacy_, L"characters\\a\\character.json"), "a");
    Put(Files::JoinPath(former_, L"account.dat"), "account");

    EXPECT_TRUE(Migrate());

    EXPECT_EQ(Content(Files::JoinPath(data_, L"characters\\a\\character.json")), "a");
    EXPECT_EQ(Content(Files::JoinPath(data_, L"account.dat")), "account");
    EXPECT_FALSE(Exists(legacy_));
    EXPECT_FALSE(Exists(former_));
}

TEST_F(PathsMigration, AnUnknownRoamingFolderNeverMeansTheCurrentDirectory) {
    // A "Velmorin" folder in the current directory must not be mistaken for the former one.
    Put(At(L"cwd\\Velmorin\\settings.json"), "not ours");
    DWORD length = GetCurrentDirectoryW(0, nullptr);
    std::wstring previous(length, L'\0');
    previous.resize(GetCurrentDirectoryW(length, previous.data()));
    ASSERT_TRUE(SetCurrentDirectoryW(At(L"cwd").c_str()));

    const bool result = Paths::MigrateLegacyData(data_, At(L"docs"), L"");

    SetCurrentDirectoryW(previous.c_str());
    EXPECT_TRUE(result);
    EXPECT_FALSE(Exists(data_));
    EXPECT_EQ(Content(At(L"cwd\\Velmorin\\settings.json")), "not ours");
}

TEST_F(PathsMigration, ALinkedSubFolderIsBroughtOverThroughItsLink) {
    // The former "images" stands elsewhere (on another drive, say) and the folder links to it.
    const std::wstring elsewhere = At(L"elsewhere\\images");
    Put(Files::JoinPath(elsewhere, L"p.png"), "p");
    Put(Files::JoinPath(elsewhere, L"faces\\q.png"), "q");
    Put(Files::JoinPath(legacy_, L"characters\\a\\character.json"), "a");
    ASSERT_TRUE(Files::EnsureDir(data_));
    if (!Link(Files::JoinPath(legacy_, L"images"), elsewhere)) {
        GTEST_SKIP() << kNoLinks;
    }

    EXPECT_TRUE(Migrate());

    EXPECT_EQ(Content(Files::JoinPath(data_, L"images\\p.png")), "p");
    EXPECT_EQ(Content(Files::JoinPath(data_, L"images\\faces\\q.png")), "q");
    EXPECT_EQ(Content(Files::JoinPath(data_, L"characters\\a\\character.json")), "a");
    EXPECT_TRUE(Files::ListFiles(elsewhere, L"*", true).empty());
}

TEST_F(PathsMigration, ALinkBackIntoTheFoldersStaysAndTheMigrationIsIncomplete) {
    // Followed, these would walk the former folder without end, or shuffle the data folder's own
    // files under another name.
    ASSERT_TRUE(Files::EnsureDir(data_));
    Put(Files::JoinPath(data_, L"characters\\x\\character.json"), "x");
    Put(Files::JoinPath(legacy_, L"characters\\a\\character.json"), "a");
    const std::wstring loop = Files::JoinPath(legacy_, L"loop");
    const std::wstring mirror = Files::JoinPath(legacy_, L"mirror");
    if (!Link(loop, legacy_) || !Link(mirror, Files::JoinPath(data_, L"characters"))) {
        GTEST_SKIP() << kNoLinks;
    }

    EXPECT_FALSE(Migrate());

    EXPECT_EQ(Content(Files::JoinPath(data_, L"characters\\a\\character.json")), "a");
    EXPECT_EQ(Content(Files::JoinPath(data_, L"characters\\x\\character.json")), "x");
    EXPECT_FALSE(Exists(Files::JoinPath(data_, L"loop")));
    EXPECT_FALSE(Exists(Files::JoinPath(data_, L"mirror")));
    EXPECT_TRUE(IsFolder(loop));
    EXPECT_TRUE(IsFolder(mirror));
}

TEST_F(PathsMigration, ALinkedFormerFolderStaysWhileAnythingOfItIsLeftBehind) {
    // Both former folders link to folders elsewhere, and one file in each is in use.
    const std::wstring legacyTarget = At(L"elsewhere\\VelmorinData");
    const std::wstring formerTarget = At(L"elsewhere\\Velmorin");
    Put(Files::JoinPath(legacyTarget, L"characters\\a\\character.json"), "busy a");
    Put(Files::JoinPath(legacyTarget, L"characters\\b\\character.json"), "b");
    Put(Files::JoinPath(formerTarget, L"settings.json"), "busy settings");
    Put(Files::JoinPath(formerTarget, L"cloud.json"), "{}");
    ASSERT_TRUE(Files::EnsureDir(data_));
    if (!Link(legacy_, legacyTarget) || !Link(former_, formerTarget)) {
        GTEST_SKIP() << kNoLinks;
    }
    {
        HeldFile a(Files::JoinPath(legacyTarget, L"characters\\a\\character.json"), GENERIC_READ | GENERIC_WRITE, 0);
        HeldFile settings(Files::JoinPath(formerTarget, L"settings.json"), GENERIC_READ | GENERIC_WRITE, 0);
        ASSERT_TRUE(a.IsOpen());
        ASSERT_TRUE(settings.IsOpen());

        EXPECT_FALSE(Migrate());

        EXPECT_EQ(Content(Files::JoinPath(data_, L"characters\\b\\character.json")), "b");
        EXPECT_EQ(Content(Files::JoinPath(data_, L"cloud.json")), "{}");
    }
    // What was left behind is still found where it was, through the links.
    EXPECT_EQ(Content(Files::JoinPath(legacy_, L"characters\\a\\character.json")), "busy a");
    EXPECT_EQ(Content(Files::JoinPath(former_, L"settings.json")), "busy settings");

    // Next start: it comes over.
    EXPECT_TRUE(Migrate());
    EXPECT_EQ(Content(Files::JoinPath(data_, L"characters\\a\\character.json")), "busy a");
    EXPECT_EQ(Content(Files::JoinPath(data_, L"settings.json")), "busy settings");
    EXPECT_TRUE(Files::ListFiles(legacyTarget, L"*", true).empty());
    EXPECT_TRUE(Files::ListFiles(formerTarget, L"*", true).empty());
}
