#include "foundation/net/HttpHeaders.h"

#include "foundation/Text.h"

namespace Lorvex::Http {

namespace {

bool StartsWith(std::wstring_view text, std::wstring_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

std::wstring BuildHeaderBlock(const Request& request) {
    std::wstring block;
    for (const auto& [name, value] : request.headers) {
        block += name;
        block += L": ";
        block += value;
        block += L"\r\n";
    }
    if (!request.contentType.empty()) {
        block += L"Content-Type: ";
        block += request.contentType;
        block += L"\r\n";
    }
    return block;
}

ResponseHeaders ParseResponseHeaders(std::wstring_view raw) {
    ResponseHeaders headers;
    for (const std::wstring& line : Text::SplitLines(raw)) {
        // A reason phrase may hold a colon ("HTTP/1.1 200 OK: done"): the status line is never a header.
        if (StartsWith(line, L"HTTP/")) {
            continue;
        }
        const size_t colon = line.find(L':');
        if (colon == std::wstring::npos) {
            continue;
        }
        std::wstring name = Text::ToLowerAscii(Text::Trim(std::wstring_view(line).substr(0, colon)));
        if (name.empty()) {
            continue;
        }
        headers[std::move(name)] = Text::Trim(std::wstring_view(line).substr(colon + 1));
    }
    return headers;
}

uint64_t ContentLength(const ResponseHeaders& headers) {
    const auto found = headers.find(L"content-length");
    if (found == headers.end()) {
        return 0;
    }
    return Text::TryParseUInt(found->second).value_or(0);
}

bool IsBodyShort(const std::wstring& method, uint32_t status, const ResponseHeaders& headers, uint64_t received) {
    if (method == L"HEAD" || status < 200 || status == 204 || status == 304) {
        return false;
    }
    const auto encoding = headers.find(L"content-encoding");
    if (encoding != headers.end() && !encoding->second.empty() && Text::ToLowerAscii(encoding->second) != L"identity") {
        return false;
    }
    return received < ContentLength(headers);
}

std::wstring FailureText(std::wstring_view name, uint32_t code) {
    std::wstring text(name);
    text += L" failed (";
    text += std::to_wstring(code);
    text += L")";
    return text;
}

}  // namespace Lorvex::Http
