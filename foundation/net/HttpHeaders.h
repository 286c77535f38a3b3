#pragma once
// The text side of an exchange, free of the platform: the request's header block, the response's
// raw header block read into a map, the announced length and whether a body fell short of it.

#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/net/Http.h"

namespace Lorvex::Http {

// "Name: value" CR LF for each header in order, then the content type when there is one; empty
// when there is nothing to send.
std::wstring BuildHeaderBlock(const Request& request);

// Lines split at LF with CR dropped; the status line, empty lines and lines without a colon or
// without a name are skipped; name and value are trimmed, the name lower-cased (A-Z only).
ResponseHeaders ParseResponseHeaders(std::wstring_view raw);

// The "content-length" header as a plain unsigned decimal number; 0 when missing or unreadable.
uint64_t ContentLength(const ResponseHeaders& headers);

// True when the answer announced more body bytes than arrived. Answers that carry no body whatever
// their Content-Length (HEAD, 1xx, 204, 304) and encoded bodies (the platform decodes them, so the
// count differs from the announced length) are never short.
bool IsBodyShort(const std::wstring& method, uint32_t status, const ResponseHeaders& headers, uint64_t received);

// name + " failed (" + code + ")".
std::wstring FailureText(std::wstring_view name, uint32_t code);

}  // namespace Lorvex::Http
