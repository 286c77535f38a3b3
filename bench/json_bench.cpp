// Throughput of the JSON reader and writer on a large chat file as the data folder holds it.
// Prints the best of several runs for each operation. Given "--before <path of another build's
// json_bench.exe>", that program runs first and prints its figures above this build's, for a
// before-and-after figure from one run.

#include <windows.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/BenchRandom.h"
#include "foundation/json/Value.h"

namespace {

using Lorvex::Bench::Random;
using Lorvex::Json::Array;
using Lorvex::Json::Value;

constexpr size_t TargetBytes = 5 * 1024 * 1024;
constexpr int Repetitions = 9;

const char* const Sentences[] = {
    "¿Qué haces aquí tan tarde, Lucía?",
    "No sé si debería contártelo… pero está bien.",
    "*se acerca despacio y baja la voz* \"Nadie puede enterarse\", susurra.",
    "El café ya está frío; la lluvia golpea la ventana del desván.",
    "Mañana iremos al mercado de Triana, si el tiempo lo permite 😀",
    "—¡Ni hablar! —responde con una sonrisa pícara—. Eso ni lo sueñes.",
    "Recuerdo cuando éramos niños y corríamos por la orilla del río.",
    "La canción que sonaba decía: «Corazón, no me olvides».",
    "Ñandú, pingüino, cigüeña: los animales favoritos de Begoña 🐧",
    "Se ajusta las gafas y lee en voz alta el párrafo subrayado.",
    "\tUna línea con tabulador y una barra \\ invertida.",
    "Tecla de escape \x1b en medio del texto copiado de una terminal.",
    "¿De verdad crees que funcionará? Tengo mis dudas 🤔",
};

std::string MakeContent(Random& random) {
    std::string text;
    size_t sentences = 2 + random.Below(8);
    for (size_t i = 0; i < sentences; ++i) {
        if (i > 0) {
            text += random.Below(4) == 0 ? "\n\n" : " ";
        }
        text += Sentences[random.Below(std::size(Sentences))];
    }
    return text;
}

Value MakeChat() {
    Random random;
    Value chat;
    chat["id"] = "c7f3a9e2-1b4d-4e8a-9f6c-2d5e8a1b3c4f";
    chat["title"] = "Una noche en la biblioteca de Salamanca";
    chat["timestamp"] = 1718000000000LL;
    chat["persona_id"] = "p-ana";
    chat["is_duo"] = false;
    Value messages = Value::EmptyArray();
    int64_t timestamp = 1718000000000LL;
    size_t estimate = 0;
    std::string scratch;
    for (int i = 0; estimate < TargetBytes; ++i) {
        Value message;
        message["id"] = "msg-" + std::to_string(i) + "-" + std::to_string(random.Next());
        bool assistant = i % 2 == 1;
        message["role"] = assistant ? "assistant" : "user";
        message["content"] = MakeContent(random);
        timestamp += 1000 + static_cast<int64_t>(random.Below(600000));
        message["timestamp"] = timestamp;
        message["speaker"] = assistant ? Value("Lucía") : Value();
        message["regeneration_index"] = assistant ? Value(static_cast<int>(random.Below(3))) : Value();
        Value alternatives = Value::EmptyArray();
        if (assistant && random.Below(3) == 0) {
            size_t count = 1 + random.Below(3);
            for (size_t k = 0; k < count; ++k) {
                alternatives.Push(Value(MakeContent(random)));
            }
        }
        message["alternatives"] = alternatives;
        message["temperature"] = 0.7 + static_cast<double>(random.Below(30)) / 100.0;
        message["is_typing"] = false;
        message["typing_id"] = Value();
        scratch.clear();
        message.Write(scratch, true, 2);
        estimate += scratch.size() + 6;
        messages.Push(std::move(message));
    }
    chat["messages"] = messages;
    return chat;
}

// A chat has few numbers with a fraction; an array of them alone shows what writing one costs:
// settings-like values, long fractions and bit patterns from the whole range.
Value MakeNumbers() {
    Random random;
    Array numbers;
    numbers.reserve(300000);
    while (numbers.size() < 300000) {
        numbers.emplace_back(0.7 + static_cast<double>(random.Below(30)) / 100.0);
        numbers.emplace_back(static_cast<double>(random.Below(1000000)) / 7.0);
        const uint64_t bits = (static_cast<uint64_t>(random.Next()) << 32) | random.Next();
        double number = 0.0;
        std::memcpy(&number, &bits, sizeof number);
        numbers.emplace_back(std::isfinite(number) ? number : 1.0);
    }
    return Value(std::move(numbers));
}

// Other writers escape non-ASCII text; the reader sees both forms in real files.
std::string WithUnicodeEscapes(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    const std::string enye = "\xC3\xB1";
    const std::string grin = "\xF0\x9F\x98\x80";
    for (size_t i = 0; i < text.size();) {
        if (text.compare(i, enye.size(), enye) == 0) {
            out += "\\u00f1";
            i += enye.size();
        } else if (text.compare(i, grin.size(), grin) == 0) {
            out += "\\ud83d\\ude00";
            i += grin.size();
        } else {
            out.push_back(text[i++]);
        }
    }
    return out;
}

template <typename Work>
double BestSeconds(Work&& work) {
    double best = 1e300;
    for (int i = 0; i < Repetitions; ++i) {
        auto start = std::chrono::steady_clock::now();
        work();
        std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        if (elapsed.count() < best) {
            best = elapsed.count();
        }
    }
    return best;
}

void Report(const char* label, size_t bytes, double seconds) {
    std::printf("%-22s %8.2f ms  %8.1f MB/s\n", label, seconds * 1000.0, bytes / (1024.0 * 1024.0) / seconds);
}

// Runs the other build's benchmark with this one's output and waits for it; false when it could
// not be started.
bool RunBefore(const std::string& path) {
    std::wstring command = L"\"" + std::wstring(path.begin(), path.end()) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        return false;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    bool before = false;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--before") {
            std::printf("before (%s):\n", argv[i + 1]);
            std::fflush(stdout);
            if (!RunBefore(argv[i + 1])) {
                std::printf("  could not be started\n");
            }
            before = true;
        }
    }
    if (before) {
        std::printf("this build:\n");
    }
    const Value chat = MakeChat();
    const std::string pretty = chat.Dump(true);
    const std::string compact = chat.Dump(false);
    const std::string escaped = WithUnicodeEscapes(pretty);

    bool ok = false;
    Value reread = Value::Parse(escaped, &ok);
    if (!ok || reread.Dump(true) != pretty) {
        std::printf("the escaped document does not read back to the written one\n");
        return 1;
    }
    std::printf("messages %zu, pretty %.2f MB, compact %.2f MB, best of %d\n", chat.Find("messages").Size(),
                pretty.size() / (1024.0 * 1024.0), compact.size() / (1024.0 * 1024.0), Repetitions);

    size_t sink = 0;
    Report("Parse pretty", pretty.size(), BestSeconds([&] { sink += Value::Parse(pretty).Size(); }));
    Report("Parse with \\u escapes", escaped.size(), BestSeconds([&] { sink += Value::Parse(escaped).Size(); }));
    Report("Parse compact", compact.size(), BestSeconds([&] { sink += Value::Parse(compact).Size(); }));
    Report("Dump pretty", pretty.size(), BestSeconds([&] { sink += chat.Dump(true).size(); }));
    Report("Dump compact", compact.size(), BestSeconds([&] { sink += chat.Dump(false).size(); }));
    const Value numbers = MakeNumbers();
    const std::string numberText = numbers.Dump(false);
    Report("Dump numbers", numberText.size(), BestSeconds([&] { sink += numbers.Dump(false).size(); }));
    Report("Parse numbers", numberText.size(), BestSeconds([&] { sink += Value::Parse(numberText).Size(); }));
    return sink == 0 ? 1 : 0;
}
