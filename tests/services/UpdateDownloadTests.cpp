// Download and install against the fake release channel, with the program folder and the
// temporary folder injected and the script's start recorded instead of run: a release in parts
// staged with its script, progress and cancel, every refusal (no hash, a gap in the parts, a torn,
// short or expired part, a wrong hash, no program) leaving the program folder as it was, and the
// script's text that no path can change.

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "App/Config/Config.h"
#include "domain/Settings.h"
#include "foundation/Async.h"
#include "foundation/Files.h"
#include "foundation/Text.h"
#include "services/updates/Updates.h"
#include "tests/services/UpdateTestSupport.h"
#include "tests/support/FakeReleaseChannel.h"
#include "tests/support/TestFiles.h"

namespace Lorvex::Services::Updates {
namespace {

using Lorvex::Testing::FakeFile;
using Lorvex::Testing::FakeMessage;
using Lorvex::Testing::FakeReleaseChannel;
using Lorvex::Testing::FakeReply;
using Lorvex::Testing::FakeServedFile;
using Lorvex::Testing::RecordedRequest;
using Testing::PointAt;
using Testing::PumpUntil;
using Testing::RunFor;

const wchar_t kOldProgram[] = L"el programa de siempre";

// "MZ" and then bytes that change with their position, so a part out of place changes the hash.
std::string Program(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
    }
    bytes[0] = 'M';
    bytes[1] = 'Z';
    return bytes;
}

std::string Sha(const std::string& bytes) {
    return Text::Sha256Hex(bytes);
}

// The bytes cut into as many equal parts as there are names (the last takes the rest).
std::vector<FakeFile> Split(const std::string& bytes, const std::vector<std::string>& names) {
    std::vector<FakeFile> files;
    const size_t each = bytes.size() / names.size();
    for (size_t i = 0; i < names.size(); ++i) {
        const size_t length = i + 1 == names.size() ? bytes.size() - i * each : each;
        files.push_back(FakeFile{names[i], bytes.substr(i * each, length), std::nullopt});
    }
    return files;
}

FakeMessage Message(const std::string& sha256, std::vector<FakeFile> files, const char* version = "Lorvex 3.0.3") {
    return FakeMessage(FakeReleaseChannel::ReleaseText(version, "- **Nuevo**: lo que sea", sha256), std::move(files));
}

bool Downloading() {
    return Current().status == Status::Downloading;
}

std::vector<std::string> AttachmentRequests(const FakeReleaseChannel& channel) {
    std::vector<std::string> targets;
    for (const RecordedRequest& request : channel.Requests()) {
        if (request.target.find("/attachments/") != std::string::npos) {
            targets.push_back(request.target);
        }
    }
    return targets;
}

struct ScriptStart {
    std::wstring parameters;
    std::map<std::wstring, std::wstring> environment;
};

class UpdateDownload : public Testing::UpdateTest {
protected:
    void SetUp() override {
        Testing::UpdateTest::SetUp();
        root = Lorvex::Testing::MakeTempFolder(L"update-download");
        programFolder = Files::JoinPath(root, L"Programa");
        program = Files::JoinPath(programFolder, L"Lorvex.exe");
        ASSERT_TRUE(Files::WriteBytes(program, Text::ToUtf8(kOldProgram)));
        temp = Files::JoinPath(root, L"Temp");
        work = Files::JoinPath(temp, L"Lorvex_Update");
        SetProgramPathForTesting(program);
        SetTempFolderForTesting(temp);
        SetScriptStarterForTesting([this](const std::wstring& parameters, const Environment& environment) {
            starts.push_back({parameters, {environment.begin(), environment.end()}});
            scriptStartedAt = Async::Now();
            return startSucceeds;
        });
        SetOnChanged([this] {
            if (Downloading()) {
                reports.push_back(Current().progress);
            }
        });
    }

    void TearDown() override {
        Testing::UpdateTest::TearDown();
        SetScriptStarterForTesting({});
        SetProgramPathForTesting(L"");
        SetTempFolderForTesting(L"");
        Files::RemoveTree(root);
    }

    // What the last check found: a newer release, so that Install goes ahead.
    static void KnowANewerRelease() {
        Release release;
        release.version = L"3.0.3";
        release.parts.push_back({L"Lorvex.exe", L"http://127.0.0.1/Lorvex.exe", 4096});
        OnChecked(Fetched{{release}, L""}, false);
    }

    void InstallAndWait() {
        Install([this] { ++quits; });
        EXPECT_TRUE(PumpUntil([] { return !Downloading(); }));
    }

    bool ProgramFolderUntouched() const {
        return Files::ListFiles(programFolder, L"*", true) == std::vector<std::wstring>{program} &&
               Lorvex::Testing::Content(program) == Text::ToUtf8(kOldProgram);
    }

    std::vector<std::wstring> WorkFiles() const {
        std::vector<std::wstring> names;
        for (const std::wstring& path : Files::ListFiles(work, L"*", true)) {
            names.push_back(Files::FileName(path));
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::wstring root, programFolder, program, temp, work;
    std::vector<ScriptStart> starts;
    bool startSucceeds = true;
    std::vector<Progress> reports;
    int quits = 0;
    double scriptStartedAt = 0;
    double quitAt = 0;
};

TEST_F(UpdateDownload, AReleaseInPartsIsDownloadedVerifiedAndStagedWithItsScript) {
    const std::string bytes = Program(3 * 40000 + 123);
    channel.Post(Message(Sha(bytes), Split(bytes, {"Lorvex.001", "Lorvex.002", "Lorvex.003"})));
    // Every part arrives in pieces with pauses, so progress shows; the second without a length.
    channel.SetAttachmentHook([](const FakeServedFile& file, const RecordedRequest&) -> std::optional<FakeReply> {
        FakeReply reply(200);
        reply.Header("Content-Type", "application/octet-stream");
        if (file.fileName == "Lorvex.002") {
            reply.Frame(Lorvex::Testing::Framing::CloseDelimited);
        }
        for (size_t at = 0; at < file.bytes.size(); at += 5000) {
            reply.Body(file.bytes.substr(at, 5000)).Pause(40);
        }
        return reply;
    });
    OnChecked(FetchReleases(), false);
    ASSERT_EQ(Current().status, Status::Available);

    Install([this] {
        ++quits;
        quitAt = Async::Now();
    });
    EXPECT_EQ(Current().status, Status::Downloading);
    EXPECT_EQ(Current().progress.bytesTotal, bytes.size());
    EXPECT_EQ(Current().progress.part, 1);
    EXPECT_EQ(Current().progress.partCount, 3);
    Check(false);  // nothing else runs while downloading
    ASSERT_TRUE(PumpUntil([] { return !Downloading(); }));

    EXPECT_EQ(Current().status, Status::Installing);
    EXPECT_EQ(Current().error, L"");
    EXPECT_EQ(WorkFiles(), (std::vector<std::wstring>{L"Lorvex.new.exe", L"update.bat"}));
    EXPECT_TRUE(Files::ReadBytes(Files::JoinPath(work, L"Lorvex.new.exe")) == bytes);
    EXPECT_EQ(Lorvex::Testing::Content(Files::JoinPath(work, L"update.bat")), InstallScript());
    EXPECT_TRUE(ProgramFolderUntouched());
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].environment, (std::map<std::wstring, std::wstring>{
                                         {L"LORVEX_UPDATE_PID", std::to_wstring(GetCurrentProcessId())},
                                         {L"LORVEX_UPDATE_NEW", Files::JoinPath(work, L"Lorvex.new.exe")},
                                         {L"LORVEX_UPDATE_EXE", program},
                                         {L"LORVEX_UPDATE_LOG", Files::JoinPath(work, L"update.log")},
                                         {L"LORVEX_UPDATE_DIR", work},
                                         {L"LORVEX_UPDATE_SCRIPT", Files::JoinPath(work, L"update.bat")},
                                     }));

    // The check and the download's own fresh read; each part once, as the program names itself.
    size_t lists = 0;
    for (const RecordedRequest& request : channel.Requests()) {
        if (request.target.find("/attachments/") != std::string::npos) {
            EXPECT_EQ(request.Header("User-Agent").value_or(""), "Lorvex/3.0.2");
        } else {
            ++lists;
        }
    }
    EXPECT_EQ(lists, 2u);
    EXPECT_EQ(AttachmentRequests(channel).size(), 3u);

    // Reports count the bytes of all parts together and name the part they come from.
    ASSERT_GE(reports.size(), 4u);
    std::vector<int32_t> parts;
    for (size_t i = 1; i < reports.size(); ++i) {
        const Progress& report = reports[i];
        EXPECT_GE(report.bytesDone, reports[i - 1].bytesDone);
        EXPECT_LE(report.bytesDone, bytes.size());
        EXPECT_EQ(report.bytesTotal, bytes.size());
        EXPECT_EQ(report.partCount, 3);
        EXPECT_GT(report.bytesPerSecond, 0);
        parts.push_back(report.part);
    }
    EXPECT_TRUE(std::is_sorted(parts.begin(), parts.end()));
    EXPECT_NE(std::find(parts.begin(), parts.end(), 3), parts.end());
    EXPECT_GT(reports.back().bytesDone, 2u * 40000u);

    // The program quits 600 ms after the script has started. Measured on the dispatcher's clock,
    // which the checks above also advance in real time, so a slow machine does not fail it.
    RunFor(0.7);
    EXPECT_EQ(quits, 1);
    EXPECT_GE(quitAt - scriptStartedAt, 0.6 - 0.001);
}

TEST_F(UpdateDownload, PartsNumberedFromZeroOrWithoutPaddingAreJoinedInTheOrderOfTheirNumbers) {
    const std::string bytes = Program(11 * 1500 + 7);
    struct Case {
        const char* name;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"from .000", {"Lorvex.000", "Lorvex.001", "Lorvex.002"}},
        // By name ".10" would come before ".2".
        {"unpadded past nine",
         {"Lorvex.1", "Lorvex.2", "Lorvex.3", "Lorvex.4", "Lorvex.5", "Lorvex.6", "Lorvex.7", "Lorvex.8", "Lorvex.9",
          "Lorvex.10", "Lorvex.11"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        starts.clear();
        // Posted last part first: the channel's order is not the joining order.
        std::vector<FakeFile> files = Split(bytes, c.names);
        std::reverse(files.begin(), files.end());
        FakeReleaseChannel fake;
        fake.Post(Message(Sha(bytes), std::move(files)));
        PointAt(fake);
        KnowANewerRelease();

        InstallAndWait();

        EXPECT_EQ(Current().error, L"");
        EXPECT_EQ(Current().status, Status::Installing);
        EXPECT_TRUE(Files::ReadBytes(Files::JoinPath(work, L"Lorvex.new.exe")) == bytes);
        EXPECT_EQ(AttachmentRequests(fake).size(), c.names.size());
        EXPECT_EQ(starts.size(), 1u);
        ResetForTesting();
    }
}

TEST_F(UpdateDownload, ACancelDuringTheSecondPartStopsTheTransferAndLeavesNothing) {
    const std::string bytes = Program(3 * 20000);
    channel.Post(Message(Sha(bytes), Split(bytes, {"Lorvex.001", "Lorvex.002", "Lorvex.003"})));
    // The second part sends a first piece late enough to be reported, waits for the test, and
    // sends its end only seconds later.
    channel.SetAttachmentHook([](const FakeServedFile& file, const RecordedRequest&) -> std::optional<FakeReply> {
        if (file.fileName != "Lorvex.002") {
            return std::nullopt;
        }
        FakeReply reply(200);
        reply.Pause(150).Body(file.bytes.substr(0, 5000)).AwaitRelease().Body(file.bytes.substr(5000, 5000));
        reply.Pause(5000).Body(file.bytes.substr(10000));
        return reply;
    });
    OnChecked(FetchReleases(), false);
    Install([this] { ++quits; });
    ASSERT_TRUE(PumpUntil([] { return Current().progress.part == 2 && Current().progress.bytesDone > 20000; }));

    CancelDownload();
    // The transfer ends while the server still holds the rest of the part back.
    ASSERT_TRUE(PumpUntil([] { return !Downloading(); }, 3));
    channel.Server().Release();

    EXPECT_EQ(Current().status, Status::Available);
    EXPECT_EQ(Current().error, L"");
    EXPECT_FALSE(Files::IsDir(work));
    EXPECT_EQ(AttachmentRequests(channel).size(), 2u);
    EXPECT_TRUE(ProgramFolderUntouched());
    EXPECT_TRUE(starts.empty());
    RunFor(1);
    EXPECT_EQ(quits, 0);

    // The user tries again: the new download has a flag of its own, not the one already set.
    channel.SetAttachmentHook({});
    InstallAndWait();
    EXPECT_EQ(Current().status, Status::Installing);
    EXPECT_EQ(starts.size(), 1u);
}

TEST_F(UpdateDownload, EveryRefusalLeavesTheProgramFolderAsItWasAndTheWorkFolderGone) {
    const std::string bytes = Program(2 * 3000);
    const std::vector<FakeFile> two = Split(bytes, {"Lorvex.001", "Lorvex.002"});
    const std::string half = two[1].bytes.substr(0, 1000);
    const std::wstring secondSize = std::to_wstring(two[1].bytes.size());
    // The second part's answer in place of the fake's.
    auto secondPart = [](std::function<FakeReply(const FakeServedFile&)> answer) {
        return [answer](const FakeServedFile& file, const RecordedRequest&) -> std::optional<FakeReply> {
            return file.fileName == "Lorvex.002" ? std::optional<FakeReply>(answer(file)) : std::nullopt;
        };
    };
    std::vector<FakeFile> announcedLonger = two;
    announcedLonger[1].announcedSize = static_cast<int64_t>(two[1].bytes.size()) + 100;
    // A size no memory holds: it is the channel's word, not something to allocate before the bytes arrive.
    std::vector<FakeFile> announcedHuge = two;
    announcedHuge[1].announcedSize = int64_t{1} << 60;
    const std::string text(500, 't');

    struct Case {
        const char* name;
        std::function<void(FakeReleaseChannel&)> publish;
        std::wstring error;  // the whole text, or its start when it ends with "("
        bool downloads;      // whether any part may be fetched before the refusal
    };
    const Case cases[] = {
        {"no hash", [&](FakeReleaseChannel& c) { c.Post(Message("", two)); },
         L"Esta versión no incluye su suma SHA-256; no se puede instalar con seguridad.", false},
        {"gap in the part numbers",
         [&](FakeReleaseChannel& c) {
             c.Post(Message(Sha(bytes), Split(bytes, {"Lorvex.001", "Lorvex.003"})));
         },
         L"Faltan partes de esta versión en el canal; no se puede instalar.", false},
        {"first part missing",
         [&](FakeReleaseChannel& c) {
             c.Post(Message(Sha(bytes), Split(bytes, {"Lorvex.002", "Lorvex.003"})));
         },
         L"Faltan partes de esta versión en el canal; no se puede instalar.", false},
        {"hash of another file", [&](FakeReleaseChannel& c) { c.Post(Message(Sha(bytes + "x"), two)); },
         L"El archivo descargado no coincide con su SHA-256 (¿falta alguna parte?)", true},
        {"part shorter than announced", [&](FakeReleaseChannel& c) { c.Post(Message(Sha(bytes), announcedLonger)); },
         L"La descarga falló (Lorvex.002 llegó incompleta: " + secondSize + L" de " +
             std::to_wstring(two[1].bytes.size() + 100) + L" bytes)",
         true},
        {"part announced larger than any memory",
         [&](FakeReleaseChannel& c) { c.Post(Message(Sha(bytes), announcedHuge)); },
         L"La descarga falló (Lorvex.002 llegó incompleta: " + secondSize + L" de " +
             std::to_wstring(int64_t{1} << 60) + L" bytes)",
         true},
        {"part cut without a length",
         [&](FakeReleaseChannel& c) {
             c.Post(Message(Sha(bytes), two));
             c.SetAttachmentHook(secondPart([&](const FakeServedFile&) {
                 FakeReply reply(200);
                 reply.Frame(Lorvex::Testing::Framing::CloseDelimited).Body(half);
                 return reply;
             }));
         },
         L"La descarga falló (Lorvex.002 llegó incompleta: 1000 de " + secondSize + L" bytes)", true},
        {"part torn against its length",
         [&](FakeReleaseChannel& c) {
             c.Post(Message(Sha(bytes), two));
             c.SetAttachmentHook(secondPart([&](const FakeServedFile& file) {
                 FakeReply reply(200);
                 reply.AnnounceLength(file.bytes.size()).Body(half).Cut();
                 return reply;
             }));
         },
         L"La descarga falló (La conexión se cortó antes de recibir toda la respuesta)", true},
        {"expired link",
         [&](FakeReleaseChannel& c) {
             c.Post(Message(Sha(bytes), two));
             c.SetAttachmentHook(secondPart([](const FakeServedFile&) {
                 FakeReply reply(403, "Forbidden");
                 reply.Body("This content is no longer available.");
                 return reply;
             }));
         },
         L"La descarga falló (El servidor no permitió el acceso (error 403))", true},
        {"not a program",
         [&](FakeReleaseChannel& c) {
             c.Post(Message(Sha(text), {FakeFile{"Lorvex.exe", text, std::nullopt}}));
         },
         L"Lo descargado no es un programa de Windows", true},
        {"newer release gone from the channel",
         [&](FakeReleaseChannel& c) { c.Post(Message(Sha(bytes), two, "Lorvex 3.0.2")); },
         L"Ya no hay ninguna versión nueva en el canal", false},
        {"channel hidden from the bot",
         [&](FakeReleaseChannel& c) {
             c.Post(Message(Sha(bytes), two));
             c.SetChannelVisible(false);
         },
         L"El bot no puede ver el canal de actualizaciones", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        starts.clear();
        FakeReleaseChannel fake;
        c.publish(fake);
        PointAt(fake);
        KnowANewerRelease();

        InstallAndWait();

        EXPECT_EQ(Current().status, Status::Available);
        if (c.error.back() == L'(') {
            EXPECT_EQ(Current().error.substr(0, c.error.size()), c.error) << Text::ToUtf8(Current().error);
        } else {
            EXPECT_EQ(Current().error, c.error);
        }
        EXPECT_FALSE(Files::IsDir(work));
        EXPECT_TRUE(ProgramFolderUntouched());
        EXPECT_TRUE(starts.empty());
        if (!c.downloads) {
            EXPECT_TRUE(AttachmentRequests(fake).empty());
        }
    }
}

TEST_F(UpdateDownload, AProgramFolderThatCannotBeWrittenFailsBeforeAnyDownload) {
    const std::string bytes = Program(4096);
    channel.Post(Message(Sha(bytes), {FakeFile{"Lorvex.exe", bytes, std::nullopt}}));
    // A folder that cannot be made: its parent is a file.
    const std::wstring blocker = Files::JoinPath(root, L"archivo");
    ASSERT_TRUE(Files::WriteBytes(blocker, std::string("x")));
    SetProgramPathForTesting(Files::JoinPath(blocker, L"Lorvex.exe"));
    KnowANewerRelease();

    InstallAndWait();

    EXPECT_EQ(Current().status, Status::Available);
    EXPECT_EQ(Current().error,
              L"No se puede escribir en la carpeta de Lorvex (muévela fuera de Archivos de programa "
              L"o ábrela como administrador)");
    EXPECT_TRUE(AttachmentRequests(channel).empty());
    EXPECT_EQ(Lorvex::Testing::Content(blocker), "x");
}

TEST_F(UpdateDownload, TheScriptIsTheSameTextWhateverThePathsWhichReachItOnlyThroughItsVariables) {
    const std::string script = InstallScript();
    EXPECT_TRUE(std::all_of(script.begin(), script.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }));
    EXPECT_EQ(script.substr(script.size() - 6), "exit\r\n");
    EXPECT_EQ(script.find('\n'), script.find("\r\n") + 1);

    std::wstring parameters;
    for (const wchar_t* name :
         {L"Programa", L"%PATH%", L"a&b", L"ñandú", L"con  espacios", L"comilla'simple", L"(paréntesis)^!"}) {
        SCOPED_TRACE(Text::ToUtf8(name));
        const std::wstring folder = Files::JoinPath(root, name);
        const std::wstring exe = Files::JoinPath(folder, L"Lorvex.exe");
        const std::wstring workHere = Files::JoinPath(Files::JoinPath(folder, L"Temp"), L"Lorvex_Update");
        SetProgramPathForTesting(exe);
        SetTempFolderForTesting(Files::JoinPath(folder, L"Temp"));
        starts.clear();

        ASSERT_TRUE(WriteAndRunScript(Downloaded{Files::JoinPath(workHere, L"Lorvex.new.exe"), L"", L"3.0.3"}));

        EXPECT_EQ(Lorvex::Testing::Content(Files::JoinPath(workHere, L"update.bat")), script);
        ASSERT_EQ(starts.size(), 1u);
        // cmd's command line names no path either: cmd would expand a "%" in it.
        EXPECT_EQ(starts[0].parameters.find(L"Lorvex_Update"), std::wstring::npos);
        if (parameters.empty()) {
            parameters = starts[0].parameters;
        }
        EXPECT_EQ(starts[0].parameters, parameters);
        EXPECT_EQ(starts[0].environment[L"LORVEX_UPDATE_SCRIPT"], Files::JoinPath(workHere, L"update.bat"));
        EXPECT_EQ(starts[0].environment[L"LORVEX_UPDATE_EXE"], exe);
        EXPECT_EQ(starts[0].environment[L"LORVEX_UPDATE_NEW"], Files::JoinPath(workHere, L"Lorvex.new.exe"));
        EXPECT_EQ(starts[0].environment[L"LORVEX_UPDATE_DIR"], workHere);
        EXPECT_EQ(starts[0].environment[L"LORVEX_UPDATE_LOG"], Files::JoinPath(workHere, L"update.log"));
    }
}

TEST_F(UpdateDownload, AScriptThatDoesNotStartLeavesTheUpdateAvailableAndDoesNotQuit) {
    const std::string bytes = Program(4096);
    channel.Post(Message(Sha(bytes), {FakeFile{"Lorvex.exe", bytes, std::nullopt}}));
    OnChecked(FetchReleases(), false);
    startSucceeds = false;

    InstallAndWait();

    EXPECT_EQ(Current().status, Status::Available);
    EXPECT_EQ(Current().error, L"No se pudo iniciar el instalador");
    EXPECT_EQ(starts.size(), 1u);
    EXPECT_TRUE(ProgramFolderUntouched());
    RunFor(1);
    EXPECT_EQ(quits, 0);
}

}  // namespace
}  // namespace Lorvex::Services::Updates
