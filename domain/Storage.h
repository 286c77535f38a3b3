#pragma once
// The local store: characters with their chats, personas and imported pictures as files in the
// data folder. Free functions without state of their own; the only state is the file system and
// the records' folder and path fields. JSON files are written whole through a ".tmp" file that
// then replaces the target, and read tolerantly: a file that cannot be read or parsed is skipped
// as if it were not there, unless it is torn and a whole ".tmp" beside it stands in for it. A record whose id is not a safe file-name token (IsSafeId) is skipped
// on load and never written, so nothing lands outside the data folder. UI thread only; the loads
// read and parse on worker threads of their own and return only after those have ended.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "domain/Records.h"
#include "foundation/json/Value.h"

namespace Lorvex::Storage {

// True when the file was read and parsed and holds a JSON object. A file that is there but does
// not (torn: cut short, or zeros after a power cut) is read from the ".tmp" beside it instead,
// when that one holds an object (Files::TemporaryFor). The parsed value is stored in `value`
// whenever parsing ran, also when it is not an object. Any thread.
bool ReadJsonFile(const std::wstring& path, Json::Value& value);
// The same with the caller's buffer for the file's text, reused from one file to the next.
bool ReadJsonFile(const std::wstring& path, Json::Value& value, std::string& buffer);

// Writes the value's pretty text to path + ".tmp", then moves it over the target (replacing a
// read-only one too). True when the target now holds the text; on failure the target keeps its
// previous content and a written ".tmp" stays beside it.
bool WriteFileAtomic(const std::wstring& path, const Json::Value& value);

// A stored picture path that no longer names a file is pointed at the file of the same name in
// the current "images" folder, when there is one: records keep their pictures after the data
// folder moved or came from another PC.
void ResolveImagePath(std::optional<std::wstring>& photo);

// Every character under "characters" with its chats, newest first, in the order the file system
// lists the folders. A folder without a readable "character.json" is skipped with its chats.
// When skipped is given, it grows by one for each folder skipped so, also one without the file
// (a sync tool still bringing it, or a move that failed, may be all that hides it), and for each
// "*.json" chat file left out (unreadable, not a JSON object, or an unsafe id). What is loaded
// does not depend on it. The records are built on up to `workers` threads at once (1: the calling
// thread, while a second thread reads the files ahead of it unless the folder is small; 0: one
// worker for a small folder, else Parallel::AllocatingWorkers, since building records is mostly
// memory allocation); the result is the same whatever their number. Nothing is written.
std::vector<std::shared_ptr<Character>> LoadCharacters(size_t* skipped = nullptr, size_t workers = 0);

// Gives a never-saved character its folder, then writes "character.json" and every chat of its
// list. Every file is attempted; true only when all were written.
bool SaveCharacter(Character& character);

// Writes one chat into the character's "chats" folder; a character never saved is saved whole.
bool SaveChat(Character& character, const Chat& chat);

// Deletes the chat's file from the character's folder; failures are ignored.
void DeleteChatFile(const Character& character, const Chat& chat);

// Every persona under "personas", in name order (NameOrder.h). When skipped is given, it grows by
// one for each "*.json" file left out (unreadable, not a JSON object, or an unsafe id). Read on
// up to `workers` threads, as LoadCharacters.
std::vector<std::shared_ptr<Persona>> LoadPersonas(size_t* skipped = nullptr, size_t workers = 0);

// Writes the persona's file, named by its id in "personas" on the first save.
bool SavePersona(Persona& persona);

// Copies a picture into "images" under `prefix` + a new id and returns the path to keep in the
// record; a picture already inside "images" is returned as it is. Empty when the source is not
// an existing file or cannot be stored.
std::wstring ImportImage(const std::wstring& source, const std::wstring& prefix);

// True when the path lies inside the "images" folder, letter case ignored ("images2\x" does not).
bool IsInImagesDir(const std::wstring& path);

// A folder name for the character's name that Windows accepts (characters it forbids dropped,
// no trailing dots or spaces, a device name such as "CON" or "nul.txt" given a "_", at most 100
// units) and that no entry under "characters" holds yet: "Ana", else "Ana_1", "Ana_2" and so on.
std::wstring MakeCharacterFolderName(const std::wstring& name);

}  // namespace Lorvex::Storage
