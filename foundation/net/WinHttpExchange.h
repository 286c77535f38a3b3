#pragma once
// One request on the wire through WinHTTP, in blocking steps: Open sends it and reads the status
// and headers, each Read then takes the next block of the body. One thread at a time.

#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <memory>
#include <string>

#include "foundation/net/Http.h"

namespace Lorvex::Http {

// Owns a WinHTTP handle and closes it however the owner ends.
class WinHttpHandle {
public:
    WinHttpHandle() = default;
    explicit WinHttpHandle(HINTERNET handle) : handle_(handle) {}
    ~WinHttpHandle() { Reset(nullptr); }
    WinHttpHandle(const WinHttpHandle&) = delete;
    WinHttpHandle& operator=(const WinHttpHandle&) = delete;

    void Reset(HINTERNET handle) {
        if (handle_ != nullptr) {
            WinHttpCloseHandle(handle_);
        }
        handle_ = handle;
    }
    HINTERNET Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    HINTERNET handle_ = nullptr;
};

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

private:
    // Declared so that the request is closed before its connection.
    WinHttpHandle connection_;
    WinHttpHandle request_;
    std::unique_ptr<char[]> buffer_;
    DWORD waiting_ = 0;  // bytes the platform said were ready and not yet read
};

}  // namespace Lorvex::Http
