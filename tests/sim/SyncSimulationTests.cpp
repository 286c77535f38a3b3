// PCs sharing one account, simulated: seeds drawn at random, then the cases that broke sync
// before, each scripted on the same world. Every case ends the same way: every PC online and in
// step, and the checks over what they and the cloud hold. A failing seed prints what it broke and
// its trace, and replays alone with the benchmark's --seed.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "services/state/AppState.h"
#include "tests/support/sim/SimRun.h"
#include "tests/support/sim/SimWorld.h"

namespace Lorvex::Testing::Sim {
namespace {

constexpr int A = 0;
constexpr int B = 1;

// ---- Seeds ----

class SyncSimulationSeeds : public ::testing::TestWithParam<uint64_t> {};

TEST_P(SyncSimulationSeeds, EveryPcEndsInStepWithEverySavedText) {
    const RunResult result = RunSeed(GetParam());
    if (!result.failures.empty()) {
        ADD_FAILURE() << Report(result, 80);
    }
}

std::string SeedName(const ::testing::TestParamInfo<uint64_t>& seed) {
    return "seed" + std::to_string(seed.param);
}

INSTANTIATE_TEST_SUITE_P(Seeds, SyncSimulationSeeds, ::testing::Range<uint64_t>(1, 201), SeedName);


TEST(SyncSimulation, ASeedReplaysExactly) {
    RunOptions options;
    options.steps = 25;
    const RunResult first = RunSeed(4242, options);
    const RunResult second = RunSeed(4242, options);
    EXPECT_EQ(first.trace, second.trace);
    EXPECT_EQ(first.failures.size(), second.failures.size());
}

// ---- Scenarios ----

// Two PCs holding Ana and her first chat, in step.
class SyncScenario : public ::testing::Test {
protected:
    SyncScenario() : world_(1, 2) {
        world_.Use(A);
        world_.NewChat(world_.CreateCharacter(L"Ana", true));
        world_.SignIn();
        world_.Use(B);
        world_.SignIn();
    }

    std::shared_ptr<Character> Ana() { return world_.FindCharacter(L"Ana"); }
    std::shared_ptr<Chat> AnasChat() {
        const std::shared_ptr<Character> ana = Ana();
        return ana && !ana->chats->empty() ? ana->chats->front() : nullptr;
    }
    std::shared_ptr<Message> Line(const std::wstring& text) {
        const std::shared_ptr<Chat> chat = AnasChat();
        return chat ? World::FindLine(*chat, text) : nullptr;
    }
    // A message in Ana's chat and its whole reply.
    void Write(const std::wstring& text) {
        world_.Send(Ana(), AnasChat(), text, 1);
        world_.ReleaseReply(0, 1);
    }

    // Two questions of A's and their replies in Ana's chat, pulled by B.
    void TwoQuestionsOnBothPcs() {
        world_.Use(A);
        Write(L"Primera pregunta");
        Write(L"Segunda pregunta");
        world_.Sync(false);
        world_.Use(B);
        world_.Sync(true);
    }

    // A edits one field with its clock ten minutes ahead, B a minute later another (or the same),
    // and B syncs first.
    void EditWithAClockAhead(const std::string& onA, const std::string& onB) {
        world_.SetClock(A, 600, 60);
        world_.Use(A);
        world_.EditCharacter(Ana(), {{onA, L"Guardado antes, en A"}});
        world_.AdvanceTime(60);
        world_.Use(B);
        world_.EditCharacter(Ana(), {{onB, L"Guardado después, en B"}});
        world_.Sync(true);
        world_.Use(A);
        world_.Sync(true);
        ExpectSettled();
    }

    void ExpectSettled() {
        world_.Settle();
        RunResult result;
        result.seed = world_.Seed();
        result.failures = world_.Check();
        result.trace = world_.Trace();
        if (!result.failures.empty()) {
            ADD_FAILURE() << Report(result);
        }
    }

    World world_;
};

// A reply still streams in A's chat when A's round pulls B's line of that chat.
TEST_F(SyncScenario, ALineOfAChatPulledWhileAReplyRunsInItIsKept) {
    Write(L"Escrito en B");
    world_.Sync(false);
    world_.Use(A);
    world_.Send(Ana(), AnasChat(), L"Escrito en A", 2);
    world_.ReleaseReply(0, 1);
    world_.Sync(true);
    world_.ReleaseReply(0, 1);
    ExpectSettled();
}

TEST_F(SyncScenario, LinesWrittenInAChatAnotherPcDeletedOfflineSurvive) {
    world_.Use(A);
    world_.SetOffline(A, true);
    world_.DeleteChat(Ana(), AnasChat());
    world_.Sync(true);
    world_.Use(B);
    Write(L"Escrito en B tras el borrado");
    world_.Sync(false);
    world_.Use(A);
    world_.SetOffline(A, false);
    world_.Sync(true);
    ExpectSettled();
}

TEST_F(SyncScenario, FieldsOfOneSheetEditedOnTwoPcsBothSurvive) {
    world_.Use(A);
    world_.EditCharacter(Ana(), {{"background", L"Historia escrita en A"}});
    world_.Use(B);
    world_.EditCharacter(Ana(), {{"personality", L"Personalidad escrita en B"}});
    world_.Use(A);
    world_.Sync(true);
    world_.Use(B);
    world_.Sync(true);
    ExpectSettled();
}

// A's clock runs ten minutes ahead: A's save is stamped after B's later one. Two fields: both
// edits stay. One field: one value stays in the record and the other in a conflict copy.
TEST_F(SyncScenario, AClockAheadDoesNotLetAnEarlierEditBeatALaterOne) {
    EditWithAClockAhead("traits", "personality");
}

TEST_F(SyncScenario, AClockAheadKeepsBothValuesOfOneFieldEditedOnTwoPcs) {
    EditWithAClockAhead("scenario", "scenario");
}

TEST_F(SyncScenario, ALineDeletedWhileAnotherPcAddsOneStaysDeleted) {
    world_.Use(A);
    Write(L"Primera línea");
    world_.Sync(false);
    world_.Use(B);
    world_.Sync(true);
    world_.Use(A);
    world_.DeleteLine(Ana(), AnasChat(), Line(L"Primera línea"));
    world_.Use(B);
    Write(L"Añadida en B");
    world_.Use(A);
    world_.Sync(true);
    world_.Use(B);
    world_.Sync(true);
    ExpectSettled();
}

TEST_F(SyncScenario, LinesCutByAnEditStayCutWhileAnotherPcStillHoldsThem) {
    TwoQuestionsOnBothPcs();
    world_.Use(A);
    world_.Edit(Ana(), AnasChat(), Line(L"Primera pregunta"), L"Primera pregunta, corregida", 1);
    world_.ReleaseReply(0, 1);
    world_.Sync(false);
    world_.Use(B);
    Write(L"Escrito en B con las líneas cortadas delante");
    world_.Sync(true);
    ExpectSettled();
}

TEST_F(SyncScenario, ARegeneratedReplyStaysInTheOldReplysPlace) {
    TwoQuestionsOnBothPcs();
    world_.Use(A);
    const std::shared_ptr<Chat> chat = AnasChat();
    ASSERT_NE(chat, nullptr);
    const std::shared_ptr<Message> question = Line(L"Primera pregunta");
    std::shared_ptr<Message> reply;
    for (size_t i = 0; i + 1 < chat->messages.size(); ++i) {
        if (chat->messages[i] == question) {
            reply = chat->messages[i + 1];
        }
    }
    ASSERT_NE(reply, nullptr);
    world_.Regenerate(Ana(), chat, reply, 1);
    world_.ReleaseReply(0, 1);
    world_.Use(B);
    Write(L"Escrito en B mientras A regeneraba");
    world_.Use(A);
    world_.Sync(true);
    world_.Use(B);
    world_.Sync(true);
    ExpectSettled();
}

TEST_F(SyncScenario, LinesWrittenWhileSignedOutAreMergedAtTheNextSignIn) {
    world_.Use(A);
    world_.SignOut();
    Write(L"Escrito en A sin sesión");
    world_.Use(B);
    Write(L"Escrito en B con sesión");
    world_.Sync(false);
    world_.Use(A);
    world_.SignIn();
    ExpectSettled();
}

// A only deleted a line of Ana's chat when B deleted Ana: nothing of A's outlives the deletion.
TEST_F(SyncScenario, ACharacterDeletedWhileAnotherPcOnlyDeletedALineStaysDeleted) {
    TwoQuestionsOnBothPcs();
    world_.Use(A);
    world_.DeleteLine(Ana(), AnasChat(), Line(L"Segunda pregunta"));
    world_.Use(B);
    world_.DeleteCharacter(Ana());
    world_.Sync(false);
    world_.Use(A);
    world_.Sync(true);
    ExpectSettled();
}

// The process ends at each file change after a save in turn: what was saved goes up all the same.
TEST_F(SyncScenario, ASaveKilledBeforeItsQueueReachedTheDiskStillGoesUp) {
    for (int writes = 0; writes < 4; ++writes) {
        world_.Use(A);
        world_.Crash(writes, [&] { world_.EditCharacter(Ana(), {{"traits", {}}}); });
    }
    ExpectSettled();
}

TEST_F(SyncScenario, AChatStartedWithACharacterAnotherPcDeletedKeepsBoth) {
    world_.Use(B);
    world_.DeleteCharacter(Ana());
    world_.Use(A);
    world_.Sync(false);
    const std::shared_ptr<Chat> chat = world_.NewChat(Ana());
    world_.Send(Ana(), chat, L"Escrito en un chat nuevo de A", 1);
    world_.ReleaseReply(0, 1);
    world_.Use(B);
    world_.Sync(false);
    world_.Use(A);
    world_.Sync(true);
    ExpectSettled();
}

TEST_F(SyncScenario, ADeletionMadeWhileSignedOutReachesTheOtherPcs) {
    world_.Use(A);
    world_.SignOut();
    world_.DeleteChat(Ana(), AnasChat());
    world_.SignIn();
    ExpectSettled();
}

// B deletes Ana, picture and all, while A writes in her chat: Ana comes back to B with her picture.
TEST_F(SyncScenario, ACharacterThatComesBackBringsItsPicture) {
    world_.Use(B);
    world_.SetOffline(B, true);
    world_.DeleteCharacter(Ana());
    world_.Use(A);
    Write(L"Escrito en A mientras B la borraba");
    world_.Sync(false);
    world_.SetOffline(B, false);
    world_.Use(B);
    world_.Sync(true);
    ExpectSettled();
}

}  // namespace
}  // namespace Lorvex::Testing::Sim
