// File-system half of Lorvex::Files: existence, folders, whole-file reads and writes, listings.

#include "foundation/Files.h"

#include "foundation/Handle.h"
#include "foundation/Retry.h"
#include "foundation/Text.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <new>
#include <string_view>
#include <utility>

namespace Lorvex::Files {

namespace {

// ReadFile and WriteFile take 32-bit lengths; 16 MiB a call keeps well inside them.
constexpr std::size_t kChunkBytes = 16u * 1024u * 1024u;

// Files up to this size are read without first asking whether the memory can be had.
constexpr std::uint64_t kUncheckedReadBytes = 64u * 1024u * 1024u;

// The changes a test still lets through; negative while there is no limit.
std::atomic<int> g_writesLeft{-1};
std::atomic<bool> g_writesDropped{false};

// Counts one change against the test's limit; true when it must be dropped instead.
bool DropChange() {
    int left = g_writesLeft.load(std::memory_order_relaxed);
    while (left > 0 && !g_writesLeft.compare_exchange_weak(left, left - 1, std::memory_order_relaxed)) {
    }
    if (left != 0) {
        return false;
    }
    g_writesDropped.store(true, std::memory_order_relaxed);
    return true;
}

struct Entry {
    std::wstring name;
    DWORD attributes = 0;
};

bool IsDirAttributes(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsLink(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Entries of a folder matching the pattern, "." and ".." left out, in the system's order.
// Collected first so that callers may delete while going through them.
std::vector<Entry> ReadEntries(const std::wstring& folder, const std::wstring& pattern) {
    std::vector<Entry> entries;
    WIN32_FIND_DATAW data{};
    FindHandle find(FindFirstFileW(JoinPath(folder, pattern).c_str(), &data));
    if (!find.IsOpen()) {
        return entries;
    }
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        entries.push_back({name, data.dwFileAttributes});
    } while (FindNextFileW(find.Get(), &data));
    return entries;
}

// Empties and deletes a folder that is known not to be a link. Goes on after a failure so that
// as much as possible is gone; the result says whether everything went.
bool RemoveFolder(const std::wstring& folder) {
    SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    bool ok = true;
    for (const Entry& entry : ReadEntries(folder, L"*")) {
        const std::wstring path = JoinPath(folder, entry.name);
        if (IsLink(entry.attributes)) {
            // Only the link goes; what it points at belongs to someone else. Its attributes are
            // left alone because changing them could reach through to the target.
            const bool removed = (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                                     ? RemoveDirectoryW(path.c_str()) != 0
                                     : DeleteFileW(path.c_str()) != 0;
            ok = ok && removed;
        } else if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            ok = RemoveFolder(path) && ok;
        } else {
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            ok = DeleteFileW(path.c_str()) != 0 && ok;
        }
    }
    return RemoveDirectoryW(folder.c_str()) != 0 && ok;
}

// Whether a block of this size can be committed at all, so a huge file fails cleanly instead of
// reserving more than the machine has.
bool CanHold(std::uint64_t size) {
    if (size > static_cast<std::uint64_t>(SIZE_MAX)) {
        return false;
    }
    if (size <= kUncheckedReadBytes) {
        return true;
    }
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof(status);
    if (!GlobalMemoryStatusEx(&status)) {
        return true;
    }
    return size <= status.ullAvailPageFile && size <= status.ullAvailVirtual;
}

struct TextStart {
    std::size_t offset = 0;
    bool utf16 = false;
};

// Where a file's text begins: after a UTF-8 byte-order mark, and after FF FE, which also says
// that the rest is UTF-16LE.
TextStart FindTextStart(std::string_view bytes) {
    TextStart start;
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        start.offset = 3;
    }
    if (bytes.size() - start.offset >= 2 && bytes.substr(start.offset, 2) == "\xFF\xFE") {
        start.offset += 2;
        start.utf16 = true;
    }
    return start;
}

// Little-endian units; an odd last byte is dropped.
std::wstring Utf16LeText(std::string_view bytes) {
    std::wstring text(bytes.size() / 2, L'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto low = static_cast<unsigned char>(bytes[2 * i]);
        const auto high = static_cast<unsigned char>(bytes[2 * i + 1]);
        text[i] = static_cast<wchar_t>(low | (high << 8));
    }
    return text;
}

// The folder and every missing parent; true when the path is a folder afterwards. Part of the
// change that calls it, so not counted against a test's limit on its own.
bool MakeDirs(const std::wstring& path) {
    std::vector<std::wstring> missing;
    std::wstring current = path;
    while (!current.empty() && !IsDirAttributes(GetFileAttributesW(current.c_str()))) {
        missing.push_back(current);
        std::wstring parent = ParentPath(current);
        if (parent.size() >= current.size()) {
            break;
        }
        current = std::move(parent);
    }
    // Outermost first; a failure shows in the final test, not here.
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        CreateDirectoryW(it->c_str(), nullptr);
    }
    return IsDirAttributes(GetFileAttributesW(path.c_str()));
}

// Writes the whole file: ERROR_SUCCESS, or the error that stopped it. With `flush` the bytes are
// on the disk before the handle closes.
DWORD WriteWhole(const std::wstring& path, const void* bytes, std::size_t length, bool flush) {
    const std::wstring parent = ParentPath(path);
    if (!parent.empty()) {
        MakeDirs(parent);
    }
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (IsDirAttributes(attributes)) {
        return ERROR_DIRECTORY;
    }
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    UniqueHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen()) {
        return GetLastError();
    }
    const char* data = static_cast<const char*>(bytes);
    std::size_t done = 0;
    while (done < length) {
        const DWORD want = static_cast<DWORD>(std::min(length - done, kChunkBytes));
        DWORD wrote = 0;
        if (!WriteFile(file.Get(), data + done, want, &wrote, nullptr)) {
            return GetLastError();
        }
        if (wrote == 0) {
            return ERROR_WRITE_FAULT;
        }
        done += wrote;
    }
    if (flush && !FlushFileBuffers(file.Get())) {
        return GetLastError();
    }
    return ERROR_SUCCESS;
}

// MoveFileExW after making the target's folder and clearing a read-only target that is to be
// replaced: ERROR_SUCCESS or the move's error.
DWORD MoveNow(const std::wstring& source, const std::wstring& target, DWORD flags) {
    MakeDirs(ParentPath(target));
    if ((flags & MOVEFILE_REPLACE_EXISTING) != 0) {
        // Windows refuses to replace a read-only file; the caller asked for it to be replaced.
        const DWORD attributes = GetFileAttributesW(target.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
            (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0) {
            SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
        }
    }
    return MoveFileExW(source.c_str(), target.c_str(), flags) ? ERROR_SUCCESS : GetLastError();
}

// How long one run of saves may wait for held files, and after how long without waiting a new
// run begins.
constexpr uint64_t kHeldWaitMs = 1000;
constexpr uint64_t kHeldRunGapMs = 10000;

// The end of this thread's window for waiting on held files; 0 while none is open. Saves that
// keep finding their files held (a character's many chats, a folder that a permission or an
// antivirus keeps locked) share one window instead of waiting a second each. A save that goes
// through closes it, and so does a while with no waiting.
thread_local uint64_t t_heldUntil = 0;

uint64_t HeldDeadline() {
    const uint64_t now = GetTickCount64();
    if (t_heldUntil == 0 || now >= t_heldUntil + kHeldRunGapMs) {
        t_heldUntil = now + kHeldWaitMs;
    }
    return t_heldUntil;
}

// A file that another program has open without sharing, is deleting, or has a range of locked:
// what antivirus, indexers, backup and cloud-folder clients do for moments. Windows reports a
// replaced target that is open as access denied. A folder in the file's place, the other lasting
// cause of access denied besides a permission, fails before any step is tried.
bool IsHeldError(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
}

// One step of a replacing write, made again while the file is held, within the thread's window.
bool WhileHeld(const std::function<DWORD()>& step) {
    const auto attempt = [&step] {
        const DWORD error = step();
        if (error == ERROR_SUCCESS) {
            return Retry::Outcome::Done;
        }
        return IsHeldError(error) ? Retry::Outcome::Busy : Retry::Outcome::Failed;
    };
    return Retry::WhileBusy(attempt, HeldDeadline) == Retry::Outcome::Done;
}

}  // namespace

bool IsFile(const std::wstring& path) {
    if (path.empty()) {
        return false;
    }
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool IsDir(const std::wstring& path) {
    return !path.empty() && IsDirAttributes(GetFileAttributesW(path.c_str()));
}

bool EnsureDir(const std::wstring& path) {
    if (path.empty()) {
        return false;
    }
    if (DropChange()) {
        return true;
    }
    return MakeDirs(path);
}

bool RemoveFile(const std::wstring& path) {
    if (path.empty() || DropChange()) {
        return true;
    }
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return true;
    }
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileW(path.c_str()) != 0;
}

bool RemoveTree(const std::wstring& folder) {
    if (folder.empty() || DropChange()) {
        return true;
    }
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (!IsDirAttributes(attributes)) {
        return true;
    }
    const bool ok = IsLink(attributes) ? RemoveDirectoryW(folder.c_str()) != 0 : RemoveFolder(folder);
    return ok && !IsDir(folder);
}

bool IsLink(const std::wstring& path) {
    if (path.empty()) {
        return false;
    }
    WIN32_FIND_DATAW data{};
    FindHandle find(FindFirstFileW(path.c_str(), &data));
    if (!find.IsOpen() || (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        return false;
    }
    // Every reparse point Windows reports carries a tag; a tag of 0 means none was reported.
    return IsReparseTagNameSurrogate(data.dwReserved0) || data.dwReserved0 == 0;
}

std::wstring TemporaryFor(const std::wstring& path) {
    return path + L".tmp";
}

bool WriteReplacing(const std::wstring& path, const std::string& bytes) {
    if (path.empty() || IsDir(path)) {
        return false;
    }
    const std::wstring temporary = TemporaryFor(path);
    // Flushed before the move: NTFS journals names, not contents, so a move that reaches the disk
    // before the bytes do leaves, after a power cut, a file of the right length and all zeros.
    // Each step is one change against a test's limit, however many times it is tried.
    if (!DropChange() &&
        !WhileHeld([&] { return WriteWhole(temporary, bytes.data(), bytes.size(), true); })) {
        return false;
    }
    if (!DropChange() && !WhileHeld([&] {
            return MoveNow(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        })) {
        return false;
    }
    t_heldUntil = 0;
    return true;
}

bool Move(const std::wstring& source, const std::wstring& target, bool replace) {
    if (DropChange()) {
        return true;
    }
    const DWORD flags = MOVEFILE_COPY_ALLOWED | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    return MoveNow(source, target, flags) == ERROR_SUCCESS;
}

bool Copy(const std::wstring& source, const std::wstring& target) {
    EnsureDir(ParentPath(target));
    return CopyFileW(source.c_str(), target.c_str(), TRUE) != 0;
}

bool ReadBytes(const std::wstring& path, std::string& bytes) {
    if (path.empty()) {
        return false;
    }
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen()) {
        return false;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 || !CanHold(static_cast<std::uint64_t>(size.QuadPart))) {
        return false;
    }
    const std::size_t total = static_cast<std::size_t>(size.QuadPart);
    try {
        bytes.resize(total);
    } catch (const std::bad_alloc&) {
        return false;
    }
    // Anything short of the whole file is a failure: half a file must not pass for the file.
    std::size_t done = 0;
    while (done < total) {
        const DWORD want = static_cast<DWORD>(std::min(total - done, kChunkBytes));
        DWORD got = 0;
        if (!ReadFile(file.Get(), bytes.data() + done, want, &got, nullptr) || got == 0) {
            return false;
        }
        done += got;
    }
    return true;
}

std::optional<std::string> ReadBytes(const std::wstring& path) {
    std::string bytes;
    if (!ReadBytes(path, bytes)) {
        return std::nullopt;
    }
    return bytes;
}

std::optional<std::wstring> ReadText(const std::wstring& path) {
    std::optional<std::string> bytes = ReadBytes(path);
    if (!bytes) {
        return std::nullopt;
    }
    const TextStart start = FindTextStart(*bytes);
    const std::string_view text = std::string_view(*bytes).substr(start.offset);
    return start.utf16 ? Utf16LeText(text) : Text::ToWide(text);
}

namespace {

bool ReadUtf8(const std::wstring& path, std::string& text, bool repair) {
    if (!ReadBytes(path, text)) {
        return false;
    }
    const TextStart start = FindTextStart(text);
    const std::string_view body = std::string_view(text).substr(start.offset);
    if (start.utf16) {
        text = Text::ToUtf8(Utf16LeText(body));
    } else if (repair && !Text::IsValidUtf8(body)) {
        // Through UTF-16 and back, so bad bytes become U+FFFD exactly as ReadText replaces them.
        text = Text::ToUtf8(Text::ToWide(body));
    } else {
        text.erase(0, start.offset);
    }
    return true;
}

}  // namespace

bool ReadTextUtf8(const std::wstring& path, std::string& text) {
    return ReadUtf8(path, text, true);
}

bool ReadTextUtf8Unrepaired(const std::wstring& path, std::string& text) {
    return ReadUtf8(path, text, false);
}

bool WriteBytes(const std::wstring& path, const void* bytes, std::size_t length) {
    if (path.empty() || (bytes == nullptr && length != 0)) {
        return false;
    }
    if (DropChange()) {
        return true;
    }
    return WriteWhole(path, bytes, length, false) == ERROR_SUCCESS;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    return WriteBytes(path, bytes.data(), bytes.size());
}

std::vector<std::wstring> ListFiles(const std::wstring& folder, const std::wstring& pattern, bool recursive) {
    std::vector<std::wstring> files;
    if (!IsDir(folder)) {
        return files;
    }
    for (const Entry& entry : ReadEntries(folder, pattern)) {
        if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            files.push_back(JoinPath(folder, entry.name));
        }
    }
    if (recursive) {
        // A linked folder may point anywhere, even back up the tree: it is not entered.
        for (const Entry& entry : ReadEntries(folder, L"*")) {
            if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && !IsLink(entry.attributes)) {
                std::vector<std::wstring> inner = ListFiles(JoinPath(folder, entry.name), pattern, true);
                files.insert(files.end(), std::make_move_iterator(inner.begin()), std::make_move_iterator(inner.end()));
            }
        }
    }
    return files;
}

std::vector<std::wstring> ListDirs(const std::wstring& folder) {
    std::vector<std::wstring> dirs;
    if (folder.empty()) {
        return dirs;
    }
    for (const Entry& entry : ReadEntries(folder, L"*")) {
        if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            dirs.push_back(JoinPath(folder, entry.name));
        }
    }
    return dirs;
}

void SetWriteLimitForTesting(int count) {
    g_writesDropped.store(false, std::memory_order_relaxed);
    g_writesLeft.store(count < 0 ? -1 : count, std::memory_order_relaxed);
}

bool WritesDroppedForTesting() {
    return g_writesDropped.load(std::memory_order_relaxed);
}

std::wstring TempDir() {
    // Ask for the needed size instead of trusting MAX_PATH; retry while the answer grows.
    DWORD capacity = GetTempPathW(0, nullptr);
    std::wstring path;
    for (int attempt = 0; attempt < 8 && capacity != 0; ++attempt) {
        path.assign(capacity, L'\0');
        const DWORD length = GetTempPathW(capacity, path.data());
        if (length == 0) {
            return {};
        }
        if (length < capacity) {
            path.resize(length);
            while (!path.empty() && IsSeparator(path.back())) {
                path.pop_back();
            }
            return path;
        }
        capacity = length;
    }
    return {};
}

std::wstring ExePath() {
    std::wstring path(260, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        if (path.size() >= 32768) {
            return {};
        }
        path.assign(path.size() * 2, L'\0');
    }
}

}  // namespace Lorvex::Files
