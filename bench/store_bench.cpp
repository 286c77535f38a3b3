// The local store at a heavy user's scale: 1,000 characters with 10 chats of 100 messages each
// in a data folder under the temporary folder. Times loading every character and persona, as
// start-up does, and saving one character whole; the folder is removed at the end.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "bench/HeavyDataFolder.h"
#include "domain/Records.h"
#include "domain/Storage.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"

namespace {

using namespace Lorvex;
using Clock = std::chrono::steady_clock;

using namespace Lorvex::Bench;

constexpr int LoadRuns = 3;
constexpr int SaveRuns = 5;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

uint64_t FolderBytes(const std::wstring& folder) {
    uint64_t total = 0;
    for (const std::wstring& file : Files::ListFiles(folder, L"*", true)) {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data)) {
            total += (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        }
    }
    return total;
}

}  // namespace

int main() {
    const std::wstring root = Bench::UseFreshDataFolder(L"store");

    auto start = Clock::now();
    std::shared_ptr<Character> sample;
    const bool allSaved = WriteHeavyDataFolder(&sample);
    const double generate = SecondsSince(start);
    std::printf("data folder: %d characters x %d chats x %d messages, %d personas, %.1f MB, written in %.2f s%s\n",
                Characters, ChatsPerCharacter, MessagesPerChat, Personas, FolderBytes(root) / (1024.0 * 1024.0),
                generate, allSaved ? "" : " (SOME WRITES FAILED)");

    for (int run = 0; run < LoadRuns; ++run) {
        start = Clock::now();
        const auto characters = Storage::LoadCharacters();
        const double loadCharacters = SecondsSince(start);
        start = Clock::now();
        const auto personas = Storage::LoadPersonas();
        const double loadPersonas = SecondsSince(start);
        size_t chats = 0;
        size_t messages = 0;
        for (const auto& character : characters) {
            chats += character->chats->size();
            for (const auto& chat : *character->chats) {
                messages += chat->messages.size();
            }
        }
        std::printf(
            "load %d: LoadCharacters %.3f s (%zu characters, %zu chats, %zu messages), LoadPersonas %.4f s (%zu)"
            ", together %.3f s\n",
            run + 1, loadCharacters, characters.size(), chats, messages, loadPersonas, personas.size(),
            loadCharacters + loadPersonas);
    }

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

    const bool removed = Files::RemoveTree(root);
    if (!removed) {
        std::printf("could not remove %ls\n", root.c_str());
    }
    return allSaved && removed ? 0 : 1;
}
