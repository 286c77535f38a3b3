#include "foundation/net/WinHttpExchange.h"

#include <algorithm>
#include <climits>
#include <string_view>

#include "App/Config/Config.h"
#include "foundation/net/HttpHeaders.h"

namespace Lorvex::Http {

namespace {

// Values from the WinHTTP documentation, named here because older headers lack some of them.
constexpr DWORD kAutomaticProxy = 4;                // WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY
constexpr DWORD kOptionSecureProtocols = 84;        // WINHTTP_OPTION_SECURE_PROTOCOLS
constexpr DWORD kTls12And13 = 0x0800 | 0x2000;      // WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | _TLS1_3
constexpr DWORD kOptionDecompression = 118;         // WINHTTP_OPTION_DECOMPRESSION
constexpr DWORD kDecompressGzipDeflate = 1 | 2;     // WINHTTP_DECOMPRESSION_FLAG_GZIP | _DEFLATE
constexpr DWORD kOptionRedirectPolicy = 88;         // WINHTTP_OPTION_REDIRECT_POLICY
constexpr DWORD kRedirectNever = 0;                 // WINHTTP_OPTION_REDIRECT_POLICY_NEVER
constexpr DWORD kOptionReceiveResponseTimeout = 7;  // WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT

constexpr DWORD kHostChars = 512;
constexpr DWORD kPathChars = 4096;

struct Session {
    HINTERNET handle = nullptr;
    DWORD openError = 0;
};

// Options are best effort: a platform without TLS 1.3 or without decompression still gets a
// working session with its defaults.
void SetOption(HINTERNET handle, DWORD option, DWORD value) {
    WinHttpSetOption(handle, option, &value, sizeof(value));
}

// The one session of the process, made by the first request whose url could be split and kept
// until the process ends; a failed creation is not retried.
const Session& TheSession() {
    static const Session session = [] {
        Session made;
        const std::wstring agent = L"Lorvex/" + std::wstring(Config::kVersion);
        made.handle = WinHttpOpen(agent.c_str(), kAutomaticProxy, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
        if (made.handle == nullptr) {
            made.openError = GetLastError();
            return made;
        }
        SetOption(made.handle, kOptionSecureProtocols, kTls12And13);
        SetOption(made.handle, kOptionDecompression, kDecompressGzipDeflate);
        return made;
    }();
    return session;
}

}  // namespace

void WinHttpExchange::Fail(std::wstring_view name, bool readingBody) {
    const DWORD code = GetLastError();
    error = FailureText(name, code);
    failure = FailureOfCode(code, readingBody);
}

WinHttpExchange::WinHttpExchange() : buffer_(new char[kBufferBytes]) {
}

bool WinHttpExchange::Open(const Request& request) {
    wchar_t host[kHostChars] = {};
    wchar_t path[kPathChars] = {};
    wchar_t query[kPathChars] = {};
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof(parts);
    parts.lpszHostName = host;
    parts.dwHostNameLength = kHostChars;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = kPathChars;
    parts.lpszExtraInfo = query;
    parts.dwExtraInfoLength = kPathChars;
    if (request.url.empty() || !WinHttpCrackUrl(request.url.c_str(), 0, 0, &parts)) {
        error = L"Invalid URL";
        failure = Failure::InvalidUrl;
        return false;
    }
    std::wstring target = std::wstring(path, parts.dwUrlPathLength) + std::wstring(query, parts.dwExtraInfoLength);
    // A fragment names a place inside the answer and is never sent.
    if (const size_t hash = target.find(L'#'); hash != std::wstring::npos) {
        target.resize(hash);
    }
    if (target.empty()) {
        target = L"/";
    }

    const Session& session = TheSession();
    if (session.handle == nullptr) {
        error = FailureText(L"WinHttpOpen", session.openError);
        failure = Failure::NoConnection;
        return false;
    }

    connection_.Reset(WinHttpConnect(session.handle, host, parts.nPort, 0));
    if (!connection_) {
        Fail(L"WinHttpConnect", false);
        return false;
    }
    const DWORD secure = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
    request_.Reset(WinHttpOpenRequest(connection_.Get(), request.method.c_str(), target.c_str(), nullptr,
                                      WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, secure));
    if (!request_) {
        Fail(L"WinHttpOpenRequest", false);
        return false;
    }

    const int timeout = static_cast<int>(std::min<uint32_t>(request.timeout, INT_MAX));
    WinHttpSetTimeouts(request_.Get(), timeout, timeout, timeout, timeout);
    // The wait for the answer's headers has a limit of its own (90 s by default, unbounded on some
    // platforms); without this a silent server holds the request past its time-out.
    SetOption(request_.Get(), kOptionReceiveResponseTimeout, static_cast<DWORD>(timeout));
    if (!request.followRedirects) {
        SetOption(request_.Get(), kOptionRedirectPolicy, kRedirectNever);
    }

    const std::wstring block = BuildHeaderBlock(request);
    if (request.body.size() > MAXDWORD) {
        error = FailureText(L"Request", ERROR_INVALID_PARAMETER);
        failure = Failure::NoConnection;
        return false;
    }
    const DWORD bodyBytes = static_cast<DWORD>(request.body.size());
    void* body = bodyBytes == 0 ? WINHTTP_NO_REQUEST_DATA : const_cast<char*>(request.body.data());
    if (!WinHttpSendRequest(request_.Get(), block.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : block.c_str(),
                            static_cast<DWORD>(block.size()), body, bodyBytes, bodyBytes, 0) ||
        !WinHttpReceiveResponse(request_.Get(), nullptr)) {
        Fail(L"Request", false);
        return false;
    }

    DWORD code = 0;
    DWORD codeBytes = sizeof(code);
    if (!WinHttpQueryHeaders(request_.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &code, &codeBytes, WINHTTP_NO_HEADER_INDEX)) {
        code = 0;
    }
    status = code;

    DWORD rawBytes = 0;
    WinHttpQueryHeaders(request_.Get(), WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                        WINHTTP_NO_OUTPUT_BUFFER, &rawBytes, WINHTTP_NO_HEADER_INDEX);
    if (rawBytes > 0) {
        std::wstring raw(rawBytes / sizeof(wchar_t) + 1, L'\0');
        DWORD filled = static_cast<DWORD>(raw.size() * sizeof(wchar_t));
        if (WinHttpQueryHeaders(request_.Get(), WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                                raw.data(), &filled, WINHTTP_NO_HEADER_INDEX)) {
            raw.resize(std::min<size_t>(raw.size(), filled / sizeof(wchar_t)));
            headers = ParseResponseHeaders(raw);
        }
    }
    return true;
}

WinHttpExchange::Block WinHttpExchange::Read() {
    // A read of no bytes ends what the platform said was waiting; asking again then gives 0 at the
    // end of the body. A second empty read in a row is taken as the end, never as a reason to spin.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (waiting_ == 0) {
            if (!WinHttpQueryDataAvailable(request_.Get(), &waiting_)) {
                waiting_ = 0;
                Fail(L"Read", true);
                return {Outcome::Failed};
            }
            if (waiting_ == 0) {
                return {Outcome::End};
            }
        }
        DWORD got = 0;
        if (!WinHttpReadData(request_.Get(), buffer_.get(), std::min(waiting_, kBufferBytes), &got)) {
            Fail(L"Read", true);
            return {Outcome::Failed};
        }
        if (got > 0) {
            waiting_ -= std::min(got, waiting_);
            return {Outcome::Data, buffer_.get(), got};
        }
        waiting_ = 0;
    }
    return {Outcome::End};
}

}  // namespace Lorvex::Http
