#pragma once
// The one layer through which the program touches the file system: existence tests, folder
// creation and removal, whole-file reads and writes, listings and path text. Every function is
// stateless, safe on any thread, never throws and reports failure only through its result.
// Paths are UTF-16 Windows paths; the path-text functions use '\' and also accept '/'.
// Tests may limit how many more changes reach the disk (SetWriteLimitForTesting); the program
// never sets the limit.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Lorvex::Files {

// True when the path exists and is not a folder.
bool IsFile(const std::wstring& path);

// True when the path exists and is a folder.
bool IsDir(const std::wstring& path);

// Creates the folder and every missing parent; true when the path is a folder afterwards.
bool EnsureDir(const std::wstring& path);

// True when no file is there afterwards; a folder is left alone and counts as success.
bool RemoveFile(const std::wstring& path);

// Deletes the folder with everything in it, read-only entries included. A linked folder inside
// (junction or symbolic link) is unlinked, never entered. True when the folder is gone afterwards
// or never was a folder.
bool RemoveTree(const std::wstring& folder);

// True when the path is a symbolic link or a junction: a reparse point whose tag names another
// place (a name surrogate), or one that reports no tag at all, as Wine's symbolic links do. Other
// reparse points, such as cloud placeholders, are ordinary files and folders.
bool IsLink(const std::wstring& path);

// Moves (or, across volumes, copies and deletes) a file or folder; creates the target's parent.
// With replace set an existing target file is replaced, even a read-only one.
bool Move(const std::wstring& source, const std::wstring& target, bool replace);

// Copies a file with its attributes to a target that does not exist yet (an existing one fails
// the copy and stays as it was); creates the target's parent.
bool Copy(const std::wstring& source, const std::wstring& target);

// The whole file, read with full sharing; none when it cannot be opened or read completely.
std::optional<std::string> ReadBytes(const std::wstring& path);
// The same into `bytes`, whose storage is reused: a caller reading many files keeps one buffer
// instead of a fresh block per file. False, with `bytes` left unspecified, on failure.
bool ReadBytes(const std::wstring& path, std::string& bytes);

// The file as text: UTF-8 with or without its byte-order mark, or UTF-16LE when it starts FF FE.
// Bad UTF-8 becomes U+FFFD. None when the file cannot be read.
std::optional<std::wstring> ReadText(const std::wstring& path);
// The text ReadText gives, as UTF-8, into `text` (storage reused as by ReadBytes). Well-formed
// UTF-8 is taken as it stands, without a round trip through UTF-16. False when the file cannot
// be read.
bool ReadTextUtf8(const std::wstring& path, std::string& text);
// The same without the pass over the whole file that replaces bad UTF-8: it is left as it stands,
// for a reader that converts each text it takes with Text::ToWide, which replaces bad bytes just
// as that pass would (JSON's quotes and structure are ASCII, so no bad sequence spans a text's
// edge). A UTF-16LE file is converted all the same.
bool ReadTextUtf8Unrepaired(const std::wstring& path, std::string& text);

// Replaces the file's content in place (no temporary file), creating its parent folder and
// clearing the attributes of an existing file first. True when every byte was written.
bool WriteBytes(const std::wstring& path, const void* bytes, std::size_t length);
bool WriteBytes(const std::wstring& path, const std::string& bytes);
// Writes TemporaryFor(path), flushed to the disk, then moves it over the target (replacing a
// read-only one too) with the move written through: the target holds either its previous content
// or every byte of the new one, also after a power cut. True when it holds the new one; on failure
// a written ".tmp" may stay beside it. A file another program holds (sharing, lock or access
// errors) is tried again with short pauses. The calling thread waits about a second at most, and
// writes on one thread that keep finding their files held share that second: after it ran out,
// they try once each until one goes through or ten seconds pass.
bool WriteReplacing(const std::wstring& path, const std::string& bytes);
// The file WriteReplacing writes first, path + ".tmp". Left beside a target that a power cut cut
// short or left as zeros, it holds the newest whole content when it is itself whole.
std::wstring TemporaryFor(const std::wstring& path);

// Full paths of the files matching the pattern, in the order the system returns them; when
// recursive, followed by those of every sub-folder, depth first. Linked folders are not entered.
std::vector<std::wstring> ListFiles(const std::wstring& folder, const std::wstring& pattern, bool recursive);

// Full paths of the folder's sub-folders, in the order the system returns them.
std::vector<std::wstring> ListDirs(const std::wstring& folder);

std::wstring JoinPath(const std::wstring& base, const std::wstring& child);
std::wstring ParentPath(const std::wstring& path);
std::wstring FileName(const std::wstring& path);
std::wstring Extension(const std::wstring& path);

// '\' or '/'.
bool IsSeparator(wchar_t c);

// Length of the device name that Windows opens instead of a file or folder of this name, or 0.
// The devices are CON, PRN, AUX, NUL, CONIN$, CONOUT$, and COM and LPT followed by a digit 0-9 or
// a superscript 1-3, in any ASCII letter case. Windows looks only at the part before the first
// dot, trailing spaces ignored: "nul.txt" and "CON .x" are devices too.
std::size_t ReservedDeviceLength(std::wstring_view name);

// Tests only: lets `count` more changes of the file system through (each WriteBytes, Move,
// RemoveFile, RemoveTree and EnsureDir call is one), then drops every later one without touching
// the disk and reports it done, as a process killed at that moment leaves its files behind. A
// negative count lifts the limit. Any thread.
void SetWriteLimitForTesting(int count);
// Tests only: whether a change was dropped since the limit was last set.
bool WritesDroppedForTesting();

// The user's temporary folder without a trailing separator.
std::wstring TempDir();

// Full path of the running program file.
std::wstring ExePath();

}  // namespace Lorvex::Files
