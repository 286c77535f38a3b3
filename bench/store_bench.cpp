// The local store at a heavy user's scale: 1,000 characters with 10 chats of 100 messages each
// in a data folder under the temporary folder, and a small folder of 10 characters beside it.
// First the heap's read-back that decides whether start-up loads on threads. For each folder, in
// the same run: the I/O floor of the load (one thread listing the folders and opening, reading
// and closing every file the load reads, without parsing), the load of every character and
// persona as start-up does it (goal for the heavy folder: at most twice the floor), on one worker
// (which parses while a second thread reads ahead) and on one worker per processor, the files read
// and parsed in turn on one thread as the load did before it read ahead, their ratios to the
// floor, and the readers' speed on the same bytes beside the raw read's: the records read
// straight from the text, and the value tree.
// Then the save of one character whole. The folders are removed at the end.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

#include "bench/HeavyDataFolder.h"
#include "domain/Records.h"
#include "domain/Storage.h"
#include "foundation/Files.h"
#include "foundation/Parallel.h"
#include "foundation/Paths.h"
#include "foundation/json/Value.h"

namespace {

using namespace Lorvex;
using Clock = std::chrono::steady_clock;

using namespace Lorvex::Bench;

constexpr int HeavyRuns = 3;
constexpr int SmallCharacters = 10;
constexpr int SmallRuns = 9;
constexpr int SaveRuns = 5;
constexpr double MiB = 1024.0 * 1024.0;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Reads every file the load reads, in the same listing order, and hands each file's bytes to
// `use`. Returns the bytes read.
template <class Use>
uint64_t ReadLoadFiles(Use&& use) {
    uint64_t bytes = 0;
    const auto read = [&](const std::wstring& path) {
        std::optional<std::string> content = Files::ReadBytes(path);
        if (content) {
            bytes += content->size();
            use(path, std::move(*content));
        }
    };
    const std::wstring data = Paths::DataDir();
    for (const std::wstring& folder : Files::ListDirs(Files::JoinPath(data, L"characters"))) {
        read(Files::JoinPath(folder, L"character.json"));
        for (const std::wstring& file : Files::ListFiles(Files::JoinPath(folder, L"chats"), L"*.json", false)) {
            read(file);
        }
    }
    for (const std::wstring& file : Files::ListFiles(Files::JoinPath(data, L"personas"), L"*.json", false)) {
        read(file);
    }
    return bytes;
}

// Kernel and user time together, in seconds.
double Seconds(const FILETIME& kernel, const FILETIME& user) {
    const auto value = [](const FILETIME& t) { return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return static_cast<double>(value(kernel) + value(user)) / 1e7;
}

// The whole process's processor time.
double ProcessSeconds() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    return Seconds(kernel, user);
}

// This thread's processor time: on a busy machine it still says what the work cost.
double ThreadSeconds() {
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    return Seconds(kernel, user);
}

bool IsPersonaFile(const std::wstring& path) {
    return path.find(L"\\personas\\") != std::wstring::npos;
}

bool IsCharacterFile(const std::wstring& path) {
    return path.ends_with(L"\\character.json");
}

// The record of one file's text, straight from the text, as the load reads it.
std::shared_ptr<void> RecordOf(bool character, bool persona, const std::string& text) {
    if (character) {
        return Character::FromJsonText(text);
    }
    if (persona) {
        return Persona::FromJsonText(text);
    }
    return Chat::FromJsonText(text);
}

struct LoadRun {
    double floor = 0;
    double floorProcessor = 0;
    double loadOneProcessor = 0;
    double load = 0;  // as start-up loads
    double loadOne = 0;
    double loadWorkers = 0;
    double inTurn = 0;  // read and parse file after file on one thread
    uint64_t bytes = 0;
    size_t characters = 0;
    size_t chats = 0;
    size_t messages = 0;
    size_t personas = 0;
};

// One raw read and one load, back to back, so both see the same state of the system's caches.
LoadRun MeasureOnce() {
    LoadRun run;
    auto start = Clock::now();
    double processor = ProcessSeconds();
    run.bytes = ReadLoadFiles([](const std::wstring&, std::string&&) {});
    run.floor = SecondsSince(start);
    run.floorProcessor = ProcessSeconds() - processor;

    start = Clock::now();
    const auto characters = Storage::LoadCharacters();
    const auto personas = Storage::LoadPersonas();
    run.load = SecondsSince(start);

    start = Clock::now();
    processor = ProcessSeconds();
    Storage::LoadCharacters(nullptr, 1);
    Storage::LoadPersonas(nullptr, 1);
    run.loadOne = SecondsSince(start);
    run.loadOneProcessor = ProcessSeconds() - processor;

    start = Clock::now();
    Storage::LoadCharacters(nullptr, Parallel::Workers(0));
    Storage::LoadPersonas(nullptr, Parallel::Workers(0));
    run.loadWorkers = SecondsSince(start);

    std::vector<std::shared_ptr<void>> kept;
    start = Clock::now();
    ReadLoadFiles([&](const std::wstring& path, std::string&& content) { kept.push_back(RecordOf(IsCharacterFile(path), IsPersonaFile(path), content)); });
    run.inTurn = SecondsSince(start);
    kept.clear();
    run.characters = characters.size();
    run.personas = personas.size();
    for (const auto& character : characters) {
        run.chats += character->chats->size();
        for (const auto& chat : *character->chats) {
            run.messages += chat->messages.size();
        }
    }
    return run;
}

struct LoadedFile {
    std::string text;
    bool character = false;
    bool persona = false;
};

struct ReadTime {
    double wall = 1e300;
    double processor = 1e300;
};

// A reader alone over every file's bytes, already in memory, on one thread: the best of three
// in elapsed and in processor time. What it builds is kept until the round ends, as a load keeps
// its records.
template <class Read>
ReadTime BestTime(const std::vector<LoadedFile>& files, Read&& read) {
    ReadTime best;
    for (int repeat = 0; repeat < 3; ++repeat) {
        std::vector<std::shared_ptr<void>> kept;
        kept.reserve(files.size());
        const auto start = Clock::now();
        const double processor = ThreadSeconds();
        for (const LoadedFile& file : files) {
            kept.push_back(read(file));
        }
        best.wall = std::min(best.wall, SecondsSince(start));
        best.processor = std::min(best.processor, ThreadSeconds() - processor);
    }
    return best;
}

ReadTime TreeTime(const std::vector<LoadedFile>& files) {
    return BestTime(files, [](const LoadedFile& file) -> std::shared_ptr<void> {
        return std::make_shared<Json::Value>(Json::Value::Parse(file.text));
    });
}

// The value tree and then the records from it, as the load read them before.
ReadTime TreeRecordTime(const std::vector<LoadedFile>& files) {
    return BestTime(files, [](const LoadedFile& file) -> std::shared_ptr<void> {
        const Json::Value tree = Json::Value::Parse(file.text);
        if (file.character) {
            return Character::FromJson(tree);
        }
        if (file.persona) {
            return Persona::FromJson(tree);
        }
        return Chat::FromJson(tree);
    });
}

// The records straight from the text, as the load reads them.
ReadTime RecordTime(const std::vector<LoadedFile>& files) {
    return BestTime(files, [](const LoadedFile& file) { return RecordOf(file.character, file.persona, file.text); });
}

void MeasureFolder(const char* label, int runs) {
    std::vector<double> floors;
    std::vector<double> loads;
    std::vector<double> ratios;
    std::vector<double> onOne;
    std::vector<double> floorProcessor;
    std::vector<double> onOneProcessor;
    std::vector<double> onWorkers;
    std::vector<double> inTurn;
    uint64_t bytes = 0;
    for (int n = 0; n < runs; ++n) {
        const LoadRun run = MeasureOnce();
        floors.push_back(run.floor);
        loads.push_back(run.load);
        ratios.push_back(run.load / run.floor);
        onOne.push_back(run.loadOne);
        floorProcessor.push_back(run.floorProcessor);
        onOneProcessor.push_back(run.loadOneProcessor);
        onWorkers.push_back(run.loadWorkers);
        inTurn.push_back(run.inTurn);
        bytes = run.bytes;
        std::printf(
            "%s run %d: raw read %8.2f ms, load %8.2f ms, ratio %.2f; on one worker %8.2f ms, on %zu workers "
            "%8.2f ms; read and parsed in turn %8.2f ms, ratio %.2f (%zu characters, %zu chats, %zu messages, %zu "
            "personas)\n",
            label, n + 1, run.floor * 1000, run.load * 1000, run.load / run.floor, run.loadOne * 1000,
            Parallel::Workers(0), run.loadWorkers * 1000, run.inTurn * 1000, run.inTurn / run.floor, run.characters,
            run.chats, run.messages, run.personas);
    }
    std::vector<LoadedFile> files;
    ReadLoadFiles([&](const std::wstring& path, std::string&& content) {
        files.push_back({std::move(content), IsCharacterFile(path), IsPersonaFile(path)});
    });
    const ReadTime records = RecordTime(files);
    const ReadTime treeRecords = TreeRecordTime(files);
    const ReadTime tree = TreeTime(files);
    const double floor = Median(floors);
    std::printf(
        "%s median: raw read %.2f ms, load %.2f ms, ratio %.2f (median of runs %.2f); on one worker %.2f ms, "
        "ratio %.2f; on %zu workers %.2f ms, ratio %.2f; read and parsed in turn, as before, %.2f ms, ratio %.2f\n",
        label, floor * 1000, Median(loads) * 1000, Median(loads) / floor, Median(ratios), Median(onOne) * 1000,
        Median(onOne) / floor, Parallel::Workers(0), Median(onWorkers) * 1000, Median(onWorkers) / floor,
        Median(inTurn) * 1000, Median(inTurn) / floor);
    std::printf("%s: processor time of this process: raw read %.2f ms, load on one worker %.2f ms\n", label,
                Median(floorProcessor) * 1000, Median(onOneProcessor) * 1000);
    const double mb = bytes / MiB;
    std::printf("%s: %.1f MB read at %.1f MB/s; on one thread from memory, MB/s elapsed (MB/s of processor time):\n",
                label, mb, mb / floor);
    std::printf(
        "%s:   records read straight from the text %.1f (%.1f); value tree then records, as before %.1f (%.1f); "
        "value tree alone %.1f (%.1f)\n",
        label, mb / records.wall, mb / records.processor, mb / treeRecords.wall, mb / treeRecords.processor,
        mb / tree.wall, mb / tree.processor);
}

}  // namespace

int main() {
    const Parallel::HeapReadBack& heap = Parallel::ProcessHeapReadBack();
    std::printf(
        "heap read-back: the allocation workload took %.2f ms on one thread, %.2f ms on %zu threads side by side "
        "(%.2f times the work per second of one thread): %s, so start-up loads on %zu worker(s)\n",
        heap.alone * 1000, heap.together * 1000, heap.threads, heap.Speedup(),
        heap.ThreadsPay() ? "threads do not serialise on the heap" : "threads serialise on the heap",
        Parallel::AllocatingWorkers());
    const std::wstring smallRoot = Bench::UseFreshDataFolder(L"store-small");
    bool allSaved = WriteHeavyDataFolder(nullptr, SmallCharacters);
    const std::wstring root = Bench::UseFreshDataFolder(L"store");

    auto start = Clock::now();
    std::shared_ptr<Character> sample;
    allSaved = WriteHeavyDataFolder(&sample) && allSaved;
    const double generate = SecondsSince(start);
    std::printf("heavy folder: %d characters x %d chats x %d messages, %d personas, written in %.2f s%s\n", Characters,
                ChatsPerCharacter, MessagesPerChat, Personas, generate, allSaved ? "" : " (SOME WRITES FAILED)");

    MeasureFolder("heavy", HeavyRuns);

    std::vector<double> saves;
    for (int run = 0; run < SaveRuns; ++run) {
        start = Clock::now();
        const bool ok = Storage::SaveCharacter(*sample);
        saves.push_back(SecondsSince(start));
        if (!ok) {
            std::printf("save %d failed\n", run + 1);
        }
    }
    std::sort(saves.begin(), saves.end());
    std::printf(
        "SaveCharacter (character.json + %d chats of %d messages): best %.2f ms, median %.2f ms, worst %.2f ms\n",
        ChatsPerCharacter, MessagesPerChat, saves.front() * 1000, saves[saves.size() / 2] * 1000, saves.back() * 1000);

    Paths::SetDataDirForTesting(smallRoot);
    MeasureFolder("small", SmallRuns);

    bool removed = Files::RemoveTree(root);
    removed = Files::RemoveTree(smallRoot) && removed;
    if (!removed) {
        std::printf("could not remove the benchmark's folders\n");
    }
    return allSaved && removed ? 0 : 1;
}
