// The text side of an exchange, checked without a network: header blocks in both directions, the
// announced length and when a body counts as cut short.

#include <gtest/gtest.h>

#include "foundation/net/HttpHeaders.h"

namespace Lorvex::Http {
namespace {

TEST(HttpHeaderBlock, HeadersInOrderThenContentType) {
    Request bare;
    EXPECT_EQ(BuildHeaderBlock(bare), L"");

    Request full;
    full.headers = {{L"Authorization", L"Bearer k"}, {L"Accept", L"text/event-stream"}};
    full.contentType = L"application/json";
    EXPECT_EQ(BuildHeaderBlock(full),
              L"Authorization: Bearer k\r\nAccept: text/event-stream\r\nContent-Type: application/json\r\n");

    Request typeOnly;
    typeOnly.contentType = L"text/plain";
    EXPECT_EQ(BuildHeaderBlock(typeOnly), L"Content-Type: text/plain\r\n");
}

TEST(HttpResponseHeaders, ParsesRawBlocks) {
    struct Case {
        const wchar_t* raw;
        ResponseHeaders expected;
    };
    const Case cases[] = {
        {L"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 5\r\n\r\n",
         {{L"content-type", L"text/plain"}, {L"content-length", L"5"}}},
        // A repeated name in another letter case: one entry, the later value.
        {L"HTTP/1.1 200 OK\r\nX-Dup: one\r\nx-DUP: two\r\n\r\n", {{L"x-dup", L"two"}}},
        // Blanks around the colon and at the end of the value.
        {L"HTTP/1.1 200 OK\r\nName  :   value  \r\n\r\n", {{L"name", L"value"}}},
        // Only the first colon separates; the value keeps the others.
        {L"HTTP/1.1 302 Found\r\nLocation: http://host:8080/a\r\n\r\n", {{L"location", L"http://host:8080/a"}}},
        // A reason phrase with a colon is still the status line.
        {L"HTTP/1.1 200 OK: done\r\nA: 1\r\n\r\n", {{L"a", L"1"}}},
        // Lines without a colon or without a name, and empty lines, are no headers.
        {L"HTTP/1.1 200 OK\r\ngarbage\r\n: nameless\r\n\r\n\r\n", {}},
        {L"HTTP/1.1 200 OK\r\nX-Empty:\r\n\r\n", {{L"x-empty", L""}}},
        // Bare LF line ends.
        {L"HTTP/1.1 200 OK\nA: 1\nB: 2\n", {{L"a", L"1"}, {L"b", L"2"}}},
        {L"", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseResponseHeaders(c.raw), c.expected) << c.raw;
    }
}

TEST(HttpResponseHeaders, ContentLengthIsAPlainUnsignedNumber) {
    struct Case {
        const wchar_t* value;  // null: no header
        uint64_t expected;
    };
    const Case cases[] = {
        {L"5", 5},     {L"123456789012", 123456789012ull}, {nullptr, 0}, {L"", 0}, {L"-1", 0}, {L"+5", 0}, {L"1e3", 0},
        {L"12abc", 0}, {L"18446744073709551616", 0},  // one past the largest 64-bit value
    };
    for (const Case& c : cases) {
        ResponseHeaders headers;
        if (c.value != nullptr) {
            headers[L"content-length"] = c.value;
        }
        EXPECT_EQ(ContentLength(headers), c.expected) << (c.value ? c.value : L"(none)");
    }
}

TEST(HttpResponseHeaders, BodyIsShortOnlyWhenABodyWasAnnouncedAndFellShort) {
    struct Case {
        const wchar_t* method;
        uint32_t status;
        ResponseHeaders headers;
        uint64_t received;
        bool shortBody;
    };
    const ResponseHeaders ten = {{L"content-length", L"10"}};
    const Case cases[] = {
        {L"GET", 200, ten, 5, true},
        {L"GET", 200, ten, 10, false},
        {L"POST", 404, ten, 0, true},  // error bodies count as much as any other
        {L"GET", 200, {}, 0, false},   // no length announced
        {L"HEAD", 200, ten, 0, false},
        {L"GET", 204, ten, 0, false},
        {L"GET", 304, ten, 0, false},
        {L"GET", 200, {{L"content-length", L"10"}, {L"content-encoding", L"gzip"}}, 30, false},
        {L"GET", 200, {{L"content-length", L"10"}, {L"content-encoding", L"gzip"}}, 3, false},
        {L"GET", 200, {{L"content-length", L"10"}, {L"content-encoding", L"identity"}}, 3, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsBodyShort(c.method, c.status, c.headers, c.received), c.shortBody)
            << c.method << L" " << c.status << L" received " << c.received;
    }
}

}  // namespace
}  // namespace Lorvex::Http
