#pragma once
// One request on the wire through WinHTTP, in blocking steps: Open sends it and reads the status
// and headers, each Read then takes the next block of the body. One thread at a time.

#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <memory>
#include <string>

#include "foundation/Handle.h"
#include "foundation/net/Http.h"

namespace Lorvex::Http {

// WinHTTP handles (session, connection, request): only null means "none".
struct WinHttpTraits {
    using Type = HINTERNET;
    static bool IsNone(HINTERNET handle) { return handle == nullptr; }
    static void Close(HINTERNET handle) { WinHttpCloseHandle(handle); }
};
using WinHttpHandle = BasicHandle<WinHttpTraits>;

class WinHttpExchange {
public:
    static constexpr DWORD kBufferBytes = 64 * 1024;

    enum class Outcome { Data, End, Failed };
    struct Block {
        Outcome outcome = Outcome::End;
        const char* data = nullptr;
        uint32_t size = 0;
    };

    WinHttpExchange();

    // Splits the url, connects, sends the request and waits for the answer; then status and
    // headers are set. False, with error set, when any of that failed.
    bool Open(const Request& request);

    // The next block of the body (valid until the next call), the end, or a failure with error set.
    Block Read();

    uint32_t status = 0;
    ResponseHeaders headers;
    std::wstring error;
    Failure failure = Failure::None;  // set with error

private:
    // Sets the error text and kind from the platform's last error.
    void Fail(std::wstring_view name, bool readingBody);

    // Declared so that the request is closed before its connection.
    WinHttpHandle connection_;
    WinHttpHandle request_;
    std::unique_ptr<char[]> buffer_;
    DWORD waiting_ = 0;  // bytes the platform said were ready and not yet read
};

}  // namespace Lorvex::Http
