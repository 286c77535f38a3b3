#pragma once
// The blocking HTTP(S) client over WinHTTP. One call carries one request from start to end on the
// calling thread, always a worker thread, never the UI thread. Perform does the work; Send, Get,
// Stream and Download differ only in where the received bytes go. Nothing throws: every failure
// ends as an English error text in the response (callers embed it in their own messages) and a
// status of 0; its kind says what went wrong, and ErrorSentence turns it into the one Spanish
// sentence the user is shown for it.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "foundation/Cancel.h"

namespace Lorvex::Http {

// Request headers, sent in this order.
using Headers = std::vector<std::pair<std::wstring, std::wstring>>;

// Response headers by lower-cased name; of a repeated name the last one wins.
using ResponseHeaders = std::map<std::wstring, std::wstring>;

struct Request {
    std::wstring method = L"GET";
    std::wstring url;  // absolute: scheme, host, optional port, path and query
    Headers headers;
    std::string body;          // sent unchanged
    std::wstring contentType;  // sent as "Content-Type" when not empty
    uint32_t timeout = 30000;  // milliseconds, for resolving, connecting, sending and each wait for data
    bool followRedirects = true;
};

// How a transfer failed; None for a complete exchange, whatever its status.
enum class Failure {
    None,
    InvalidUrl,
    NoConnection,     // no answer: the connection was refused or closed before one came
    NameNotResolved,  // the server's name is unknown (often: no internet at all)
    Timeout,          // the server stopped answering
    Secure,           // the secure channel could not be made (certificate, protocol)
    Cut,              // the answer began and broke off before its end
    WriteFailed,      // the received bytes could not be kept
    Cancelled,
};

struct Response {
    uint32_t status = 0;  // 0 when no status arrived or the transfer failed after it
    std::string body;     // filled by Send and Stream only
    ResponseHeaders headers;
    std::wstring error;  // empty on success; English, for diagnosis, never shown as it is
    Failure failure = Failure::None;
};

// (received, total): total is the Content-Length, 0 when absent. False cancels the transfer.
using Progress = std::function<bool(uint64_t received, uint64_t total)>;
// Receives the body in order, in place; false stops the transfer.
using Sink = std::function<bool(const char* data, uint64_t size)>;

bool IsSuccess(uint32_t status);

// The one Spanish sentence for an exchange that did not succeed: its kind of failure, or for a
// complete exchange what its status means. Callers may add the server's own words after it as
// detail. Any thread.
std::wstring ErrorSentence(const Response& response);
// What a status outside 200..299 means, with its number: "El servidor tuvo un fallo (error 500)".
std::wstring StatusSentence(uint32_t status);
// The kind of failure a platform error code stands for, met while opening the exchange (sending
// and waiting for the answer's headers) or while reading its body.
Failure FailureOfCode(uint32_t code, bool readingBody);

// The core transfer: status, headers and error of the response; its body goes to the sink only.
// With a cancel flag the transfer also ends, with "Cancelled", within a few tens of milliseconds
// after the flag is set, even while the server sends nothing: the platform's synchronous calls
// cannot be interrupted (closing the request handle from another thread does not wake them on
// every platform), so the blocking calls then run on a helper thread and this thread waits for
// them in short slices. A transfer left behind that way finishes, unseen, at its own time-out or
// when the server moves; its callbacks are never called again after Perform returns.
Response Perform(const Request& request, const Progress& progress, const Sink& sink);
Response Perform(const Request& request, const Progress& progress, const Sink& sink, const Async::Cancel& cancel);

// Perform keeping every received byte as the body, also the part that arrived before a failure.
Response Send(const Request& request, const Progress& progress = {});

// Send of a GET with these headers and a 20-second time-out.
Response Get(const std::wstring& url, const Headers& headers = {});

// Perform handing each block to the sink; the body keeps the first 64 KiB or so only when the
// status is not successful (for the error text of a streamed answer), else it stays empty.
Response Stream(const Request& request, const Sink& sink);
Response Stream(const Request& request, const Sink& sink, const Async::Cancel& cancel);

// GET into path + ".part", moved over path on a successful status. On failure the part file is
// removed, an existing file at path stays as it was and the error (when error is not null) is the
// Spanish sentence for it (ErrorSentence, or why the file could not be made or kept).
bool Download(const std::wstring& url, const std::wstring& path, const Progress& progress,
              std::wstring* error = nullptr, const Headers& headers = {});
// The same, ending with "Cancelled" soon after the flag is set, even while the server sends nothing.
bool Download(const std::wstring& url, const std::wstring& path, const Progress& progress, std::wstring* error,
              const Headers& headers, const Async::Cancel& cancel);

// ("Authorization", value).
std::pair<std::wstring, std::wstring> AuthorizationHeader(std::wstring value);

}  // namespace Lorvex::Http
