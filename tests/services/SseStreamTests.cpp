// The event-stream reader fed block by block, as the transfer hands the body over.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/Text.h"
#include "services/ai/SseStream.h"

namespace Lorvex::Services {
namespace {

std::string Delta(const std::string& contentJson) {
    return "data: {\"choices\":[{\"index\":0,\"delta\":{\"content\":" + contentJson + "}}]}";
}

// Feeds the blocks in order and records what the reader reports.
struct Feed {
    Async::Cancel cancel;
    std::vector<std::wstring> reports;
    ProgressCallback progress = [this](const std::wstring& text) { reports.push_back(text); };
    SseStream stream{cancel, progress};
    std::vector<bool> answers;

    explicit Feed(const std::vector<std::string>& blocks) {
        for (const std::string& block : blocks) {
            answers.push_back(stream.OnStreamChunk(block.data(), block.size()));
        }
    }

    std::wstring Reply() const { return Text::ToWide(stream.Reply()); }
};

// Two events with multi-byte text (a two-byte ñ, a four-byte emoji), CRLF line ends, a comment
// and [DONE]; cut into blocks at every pair of positions, the reply is always the same.
TEST(SseStream, AnySplitOfTheBytesGivesTheSameReply) {
    const std::string stream = ": keep-alive\r\n\r\n" + Delta("\"Hola, ni\xC3\xB1o \"") + "\r\n\r\n" +
                               Delta("\"\xF0\x9F\x98\x80 adi\xC3\xB3s\"") + "\r\n\r\ndata: [DONE]\r\n\r\n";
    const std::wstring expected = Text::ToWide("Hola, ni\xC3\xB1o \xF0\x9F\x98\x80 adi\xC3\xB3s");
    for (size_t first = 0; first <= stream.size(); ++first) {
        for (size_t second = first; second <= stream.size(); second += 7) {
            Feed feed({stream.substr(0, first), stream.substr(first, second - first), stream.substr(second)});
            ASSERT_EQ(feed.Reply(), expected) << "split at " << first << " and " << second;
            ASSERT_TRUE(feed.stream.Done());
            ASSERT_FALSE(feed.answers.back());
            // Every report is the whole text so far, never a broken character.
            ASSERT_FALSE(feed.reports.empty());
            EXPECT_EQ(feed.reports.back(), expected);
            for (const std::wstring& report : feed.reports) {
                EXPECT_EQ(report.find(L'\uFFFD'), std::wstring::npos);
            }
        }
    }
}

TEST(SseStream, EachBlockThatAddsTextReportsOnce) {
    struct Case {
        const char* what;
        std::vector<std::string> blocks;
        std::vector<std::wstring> reports;
    };
    const Case cases[] = {
        {"several lines in one block: one report",
         {Delta("\"a\"") + "\n\n" + Delta("\"b\"") + "\n\n" + Delta("\"c\"") + "\n\n"},
         {L"abc"}},
        {"a line waits for its line feed", {Delta("\"a\""), "\n", Delta("\"b\"") + "\n"}, {L"a", L"ab"}},
        {"CR in one block, LF in the next", {Delta("\"a\"") + "\r", "\n"}, {L"a"}},
        {"keep-alive comments only: no report", {": keep-alive\n\n", ":\n", Delta("\"x\"") + "\n"}, {L"x"}},
        {"empty, null and number contents add nothing",
         {Delta("\"\"") + "\n" + Delta("null") + "\n" + Delta("7") + "\n", Delta("\"z\"") + "\n"},
         {L"z"}},
    };
    for (const Case& c : cases) {
        Feed feed(c.blocks);
        EXPECT_EQ(feed.reports, c.reports) << c.what;
        for (const bool answer : feed.answers) {
            EXPECT_TRUE(answer) << c.what;
        }
    }
}

// Which lines count: the "data:" prefix, its blanks, [DONE] exactly, JSON with the content path.
TEST(SseStream, ReadsOnlyDataLinesWithAContentDelta) {
    struct Case {
        std::string line;
        std::string added;  // what the line adds to "<"
        bool done = false;
    };
    const Case cases[] = {
        {"data:{\"choices\":[{\"delta\":{\"content\":\"pegado\"}}]}", "pegado"},
        {"data:      {\"choices\":[{\"delta\":{\"content\":\"lejos\"}}]}", "lejos"},
        {"data:   [DONE]", "", true},
        {"data:[DONE]", "", true},
        {"data: [DONE] ", ""},  // not [DONE]: read as JSON, which it is not
        {"data: [done]", ""},
        {"data: {roto", ""},
        {"data: {\"choices\":[]}", ""},
        {"data: {\"choices\":{\"delta\":{\"content\":\"x\"}}}", ""},
        {"data: {\"choices\":[{\"message\":{\"content\":\"x\"}}]}", ""},
        {"data: {\"choices\":[\"x\"]}", ""},
        {"data: [1,2]", ""},
        {"event: message", ""},
        {"id: 4", ""},
        {"data", ""},
        {"Data: {\"choices\":[{\"delta\":{\"content\":\"x\"}}]}", ""},
        {"  data: {\"choices\":[{\"delta\":{\"content\":\"x\"}}]}", ""},
    };
    for (const Case& c : cases) {
        Feed feed({Delta("\"<\"") + "\n" + c.line + "\n"});
        EXPECT_EQ(feed.stream.Reply(), "<" + c.added) << c.line;
        EXPECT_EQ(feed.stream.Done(), c.done) << c.line;
        EXPECT_EQ(feed.answers.back(), !c.done) << c.line;
    }
}

// The closing chunk names why the model stopped; a null or missing reason means it goes on. The
// stream still waits for [DONE] after it.
TEST(SseStream, ANamedFinishReasonMarksTheAnswerWhole) {
    struct Case {
        std::string choice;
        std::string added;  // what the line adds to "<"
        bool finished;
    };
    const Case cases[] = {
        {"{\"index\":0,\"delta\":{},\"finish_reason\":\"stop\"}", "", true},
        {"{\"delta\":{\"content\":\"\"},\"finish_reason\":\"length\"}", "", true},
        {"{\"delta\":{\"content\":\"fin\"},\"finish_reason\":\"stop\"}", "fin", true},
        {"{\"finish_reason\":\"content_filter\"}", "", true},
        {"{\"delta\":{\"content\":\"x\"},\"finish_reason\":null}", "x", false},
        {"{\"delta\":{\"content\":\"x\"}}", "x", false},
        {"{\"delta\":{},\"finish_reason\":\"\"}", "", false},
        {"{\"delta\":{},\"finish_reason\":1}", "", false},
    };
    for (const Case& c : cases) {
        Feed feed({Delta("\"<\"") + "\n" + "data: {\"choices\":[" + c.choice + "]}\n"});
        EXPECT_EQ(feed.stream.Reply(), "<" + c.added) << c.choice;
        EXPECT_EQ(feed.stream.Finished(), c.finished) << c.choice;
        EXPECT_FALSE(feed.stream.Done()) << c.choice;
        EXPECT_TRUE(feed.answers.back()) << c.choice;
    }
}

TEST(SseStream, NothingAfterDoneIsRead) {
    Feed feed({Delta("\"a\"") + "\n" + "data: [DONE]\n" + Delta("\"b\"") + "\n", Delta("\"c\"") + "\n"});
    EXPECT_EQ(feed.stream.Reply(), "a");
    EXPECT_EQ(feed.reports, std::vector<std::wstring>{L"a"});  // the text before [DONE] is still reported
    EXPECT_EQ(feed.answers, (std::vector<bool>{false, false}));
}

TEST(SseStream, ACancelledStreamTakesNoMoreBlocks) {
    Async::Cancel cancel;
    std::vector<std::wstring> reports;
    const ProgressCallback progress = [&reports](const std::wstring& text) { reports.push_back(text); };
    SseStream stream(cancel, progress);
    const std::string first = Delta("\"uno\"") + "\n";
    const std::string second = Delta("\" dos\"") + "\n";
    EXPECT_TRUE(stream.OnStreamChunk(first.data(), first.size()));
    cancel.Set();
    EXPECT_FALSE(stream.OnStreamChunk(second.data(), second.size()));
    EXPECT_EQ(stream.Reply(), "uno");
    EXPECT_EQ(reports, std::vector<std::wstring>{L"uno"});
}

TEST(SseStream, RunsWithoutAProgressCallback) {
    const Async::Cancel cancel;
    const ProgressCallback none;
    SseStream stream(cancel, none);
    const std::string block = Delta("\"sin aviso\"") + "\n";
    EXPECT_TRUE(stream.OnStreamChunk(block.data(), block.size()));
    EXPECT_EQ(stream.Reply(), "sin aviso");
}

}  // namespace
}  // namespace Lorvex::Services
