// The seeded scheduler: which PC acts next and what it does.

#include "tests/support/sim/SimRun.h"

#include <chrono>
#include <functional>

#include "main/chat/MessageRows.h"
#include "services/state/AppState.h"
#include "services/sync/CloudSync.h"

namespace Lorvex::Testing::Sim {

namespace {

using Services::AppState;
using Services::CloudSync;

// A reply held open longer than this many steps is let out whole, so no reply outlasts the fake
// server's patience with a held answer.
constexpr int kReplySteps = 15;

AppState& state() {
    return AppState::Instance();
}

struct Choice {
    int weight = 0;
    std::function<void()> run;
};

void Choose(Random& random, const std::vector<Choice>& choices) {
    int total = 0;
    for (const Choice& choice : choices) {
        total += choice.weight;
    }
    if (total == 0) {
        return;
    }
    int at = static_cast<int>(random.Below(static_cast<size_t>(total)));
    for (const Choice& choice : choices) {
        if (at < choice.weight) {
            choice.run();
            return;
        }
        at -= choice.weight;
    }
}

struct LineAt {
    std::shared_ptr<Character> character;
    std::shared_ptr<Chat> chat;
    std::shared_ptr<Message> line;
};

template <class Predicate>
std::vector<LineAt> LinesWhere(Predicate keep) {
    std::vector<LineAt> lines;
    for (const std::shared_ptr<Character>& character : state().characters) {
        for (const std::shared_ptr<Chat>& chat : *character->chats) {
            for (size_t i = 0; i < chat->messages.size(); ++i) {
                if (keep(*chat, i)) {
                    lines.push_back({character, chat, chat->messages[i]});
                }
            }
        }
    }
    return lines;
}

bool AnswersUser(const Chat& chat, size_t index) {
    for (size_t i = 0; i < index; ++i) {
        if (chat.messages[i]->role == L"user") {
            return true;
        }
    }
    return false;
}

int Pieces(Random& random) {
    return static_cast<int>(random.Between(1, 3));
}

// One or two of the fields, each to a new text.
std::vector<FieldEdit> SomeFields(Random& random, const std::vector<std::string>& fields) {
    std::vector<FieldEdit> edits;
    const size_t count = 1 + random.Below(2);
    for (size_t i = 0; i < count; ++i) {
        const size_t at = random.Below(fields.size());
        bool taken = false;
        for (const FieldEdit& edit : edits) {
            taken = taken || edit.first == fields[at];
        }
        if (!taken) {
            edits.emplace_back(fields[at], std::wstring());
        }
    }
    return edits;
}

std::shared_ptr<Character> SomeCharacter(Random& random) {
    const auto& all = state().characters;
    return all.empty() ? nullptr : all[random.Below(all.size())];
}

std::shared_ptr<Persona> SomePersona(Random& random) {
    const auto& all = state().personas;
    return all.empty() ? nullptr : all[random.Below(all.size())];
}

void MachineAction(World& world, Random& random, const RunOptions& options) {
    const int pc = world.OpenPc();
    const bool signedIn = world.SignedIn();
    const bool offline = world.Offline(pc);
    std::vector<Choice> choices = {
        {8, [&] { world.Sync(true); }},
        {5, [&] { world.Sync(false); }},
        {4,
         [&] {
             const int held = static_cast<int>(random.Between(1, 2));
             world.SyncWhile(random.Chance(50), held, [&] {
                 for (int i = static_cast<int>(random.Between(1, 2)); i > 0; --i) {
                     UserAction(world, random);
                 }
             });
         }},
        {3, [&] { world.Idle(random.Chance(15) ? 121 : 3); }},
        {3, [&] { world.SetOffline(pc, !offline); }},
        {3, [&] { world.Restart(); }},
    };
    if (options.crashes) {
        choices.push_back(
            {2, [&] { world.Crash(static_cast<int>(random.Below(6)), [&] { UserAction(world, random); }); }});
    }
    if (signedIn && !offline) {
        choices.push_back({1, [&] { world.SignOut(); }});
    }
    if (!signedIn && !offline) {
        choices.push_back({8, [&] { world.SignIn(); }});
    }
    Choose(random, choices);
}

}  // namespace

void UserAction(World& world, Random& random) {
    std::vector<Choice> choices;
    const auto& characters = state().characters;
    const std::vector<std::string> characterFields = {"name", "traits", "personality", "background", "scenario"};

    // A character made is mostly opened at once, which starts its first chat.
    choices.push_back({characters.size() < 3 ? 4 : 0, [&] {
                           const auto character = world.CreateCharacter(L"", random.Chance(30));
                           if (random.Chance(80)) {
                               world.NewChat(character);
                           }
                       }});
    if (!characters.empty()) {
        choices.push_back({1, [&] { world.NewChat(SomeCharacter(random)); }});
        // Writing to a character without chats opens its first one.
        choices.push_back({20, [&] {
                               const auto character = SomeCharacter(random);
                               const std::shared_ptr<Chat> chat =
                                   character->chats->empty()
                                       ? world.NewChat(character)
                                       : (*character->chats)[random.Below(character->chats->size())];
                               world.Send(character, chat, L"", Pieces(random));
                           }});
        choices.push_back(
            {5, [&] { world.EditCharacter(SomeCharacter(random), SomeFields(random, characterFields)); }});
        choices.push_back({1, [&] { world.SetPicture(SomeCharacter(random)); }});
        choices.push_back({1, [&] { world.DeleteCharacter(SomeCharacter(random)); }});
    }
    std::vector<std::pair<std::shared_ptr<Character>, std::shared_ptr<Chat>>> chats;
    for (const auto& character : characters) {
        for (const auto& chat : *character->chats) {
            chats.emplace_back(character, chat);
        }
    }
    if (!chats.empty()) {
        choices.push_back({2, [&] {
                               const auto& [character, chat] = chats[random.Below(chats.size())];
                               world.DeleteChat(character, chat);
                           }});
    }
    const std::vector<LineAt> settled =
        LinesWhere([](const Chat& chat, size_t i) { return !chat.messages[i]->is_typing; });
    if (!settled.empty()) {
        choices.push_back({7, [&] {
                               const LineAt& at = settled[random.Below(settled.size())];
                               world.Edit(at.character, at.chat, at.line, L"", Pieces(random));
                           }});
        choices.push_back({4, [&] {
                               const LineAt& at = settled[random.Below(settled.size())];
                               world.DeleteLine(at.character, at.chat, at.line);
                           }});
    }
    const std::vector<LineAt> replies = LinesWhere([](const Chat& chat, size_t i) {
        const Message& line = *chat.messages[i];
        return line.role == L"assistant" && !line.is_typing && i > 0 && AnswersUser(chat, i);
    });
    if (!replies.empty()) {
        // A new version is often read to its end and compared with the one it replaced.
        choices.push_back({12, [&] {
                               const LineAt& at = replies[random.Below(replies.size())];
                               if (!world.Regenerate(at.character, at.chat, at.line, Pieces(random)) ||
                                   !random.Chance(60)) {
                                   return;
                               }
                               world.ReleaseReply(world.RunningReplies() - 1, 3);
                               const std::shared_ptr<Message> line = World::FindLineById(*at.chat, at.line->line_id);
                               if (line && random.Chance(60)) {
                                   world.SwitchVersion(at.character, at.chat, line, -1);
                               }
                           }});
    }
    const std::vector<LineAt> versioned = LinesWhere([](const Chat& chat, size_t i) {
        const Message& line = *chat.messages[i];
        return !line.is_typing && Main::ChatRows::VersionCount(state().versions, line) >= 2;
    });
    if (!versioned.empty()) {
        choices.push_back({10, [&] {
                               const LineAt& at = versioned[random.Below(versioned.size())];
                               world.SwitchVersion(at.character, at.chat, at.line, random.Chance(50) ? 1 : -1);
                           }});
    }
    if (world.RunningReplies() != 0) {
        choices.push_back({16, [&] {
                               world.ReleaseReply(random.Below(world.RunningReplies()),
                                                  static_cast<int>(random.Between(1, 2)));
                           }});
    }
    choices.push_back({state().personas.size() < 2 ? 2 : 0, [&] { world.CreatePersona(L""); }});
    if (!state().personas.empty()) {
        choices.push_back(
            {3, [&] {
                 world.EditPersona(SomePersona(random), SomeFields(random, {"name", "traits", "personality"}));
             }});
        choices.push_back({1, [&] { world.SetPicture(SomePersona(random)); }});
        choices.push_back({1, [&] { world.DeletePersona(SomePersona(random)); }});
    }
    Choose(random, choices);
}

RunResult RunSeed(uint64_t seed, const RunOptions& options) {
    const auto start = std::chrono::steady_clock::now();
    Random random(seed);
    RunResult result;
    result.seed = seed;
    result.options = options;
    {
        World world(seed, options.pcs, options.verbose);
        const int zones[] = {60, 0, 120, -300};
        for (int pc = 0; pc < world.Pcs(); ++pc) {
            const int64_t skew = random.Between(-3600, 3600);
            const int zone = zones[random.Below(4)];
            if (options.skewedClocks) {
                world.SetClock(pc, skew, zone);
            }
        }
        // Some PCs hold records of their own before their first sign-in merges them.
        for (int pc = 0; pc < world.Pcs(); ++pc) {
            world.Use(pc);
            if (random.Chance(40)) {
                const auto character = world.CreateCharacter(L"", random.Chance(30));
                if (random.Chance(50)) {
                    world.NewChat(character);
                }
            }
            world.SignIn();
        }
        for (int step = 0; step < options.steps && !world.Faulted(); ++step) {
            world.AdvanceTime(random.Between(1, 90));
            if (world.OpenPc() < 0 || !random.Chance(80)) {
                world.Use(static_cast<int>(random.Below(static_cast<size_t>(world.Pcs()))));
            }
            if (world.RunningReplies() != 0 && world.Step() - world.ReplyStarted(0) > kReplySteps) {
                world.ReleaseReply(0, 3);
            } else if (random.Chance(70)) {
                UserAction(world, random);
            } else {
                MachineAction(world, random, options);
            }
        }
        world.Settle();
        result.failures = world.Check();
        result.trace = world.Trace();
        result.stats = world.GetStats();
    }
    result.stats.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
}

std::string RunOptions::Arguments() const {
    const RunOptions defaults;
    std::string arguments;
    if (steps != defaults.steps) {
        arguments += " --steps " + std::to_string(steps);
    }
    if (pcs != defaults.pcs) {
        arguments += " --pcs " + std::to_string(pcs);
    }
    if (!crashes) {
        arguments += " --no-crashes";
    }
    if (!skewedClocks) {
        arguments += " --same-clocks";
    }
    return arguments;
}

std::string Report(const RunResult& result, size_t traceLines) {
    std::string text = "seed " + std::to_string(result.seed) + " broke:\n";
    for (const Failure& failure : result.failures) {
        text += "  [" + failure.invariant + "] " + failure.detail + "\n";
    }
    const size_t first = traceLines == 0 || result.trace.size() <= traceLines ? 0 : result.trace.size() - traceLines;
    text += "  trace" + std::string(first == 0 ? "" : " (last " + std::to_string(traceLines) + " lines)") + ":\n";
    for (size_t i = first; i < result.trace.size(); ++i) {
        text += "    " + result.trace[i] + "\n";
    }
    text += "  alone: sync_simulation.exe --seed " + std::to_string(result.seed) + result.options.Arguments() + "\n";
    return text;
}

}  // namespace Lorvex::Testing::Sim
