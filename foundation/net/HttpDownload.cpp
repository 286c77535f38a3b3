// Download: a GET written to a part file beside the target and moved over it only when the whole
// answer arrived, so a failed download never leaves a half-written target.

#include "foundation/net/Http.h"

#include <windows.h>

#include "foundation/Files.h"
#include "foundation/Handle.h"

namespace Lorvex::Http {

namespace {

class PartFile {
public:
    explicit PartFile(const std::wstring& path)
        : handle_(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)) {
    }

    bool IsOpen() const { return handle_.IsOpen(); }

    // True only when every byte was written.
    bool Write(const char* data, uint64_t size) {
        while (size > 0) {
            const DWORD chunk = size > MAXDWORD ? MAXDWORD : static_cast<DWORD>(size);
            DWORD written = 0;
            if (!WriteFile(handle_.Get(), data, chunk, &written, nullptr) || written != chunk) {
                return false;
            }
            data += chunk;
            size -= chunk;
        }
        return true;
    }

    void Close() { handle_.Reset(); }

private:
    UniqueHandle handle_;
};

void SetError(std::wstring* error, std::wstring text) {
    if (error != nullptr) {
        *error = std::move(text);
    }
}

bool DownloadTo(const std::wstring& url, const std::wstring& path, const Progress& progress, std::wstring* error,
                const Headers& headers, const Async::Cancel* cancel) {
    const std::wstring partPath = path + L".part";
    Files::EnsureDir(Files::ParentPath(path));

    Response response;
    {
        PartFile part(partPath);
        if (!part.IsOpen()) {
            SetError(error, L"No se pudo crear el archivo de la descarga");
            return false;
        }
        Request request;
        request.method = L"GET";
        request.url = url;
        request.headers = headers;
        request.timeout = 60000;
        request.followRedirects = true;
        const Sink sink = [&part](const char* data, uint64_t size) { return part.Write(data, size); };
        response = cancel != nullptr ? Perform(request, progress, sink, *cancel) : Perform(request, progress, sink);
    }

    if (!IsSuccess(response.status)) {
        Files::RemoveFile(partPath);
        SetError(error, ErrorSentence(response));
        return false;
    }
    // Move creates the parent again (it may have gone meanwhile) and replaces even a read-only target.
    if (!Files::Move(partPath, path, true)) {
        Files::RemoveFile(partPath);
        SetError(error, L"No se pudo guardar la descarga");
        return false;
    }
    return true;
}

}  // namespace

bool Download(const std::wstring& url, const std::wstring& path, const Progress& progress, std::wstring* error,
              const Headers& headers) {
    return DownloadTo(url, path, progress, error, headers, nullptr);
}

bool Download(const std::wstring& url, const std::wstring& path, const Progress& progress, std::wstring* error,
              const Headers& headers, const Async::Cancel& cancel) {
    return DownloadTo(url, path, progress, error, headers, &cancel);
}

}  // namespace Lorvex::Http
