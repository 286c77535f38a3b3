#pragma once
// What the update files share inside the service: the writable state, the texts more than one of
// them shows, and the running version as a text. UI thread only, as the state itself.

#include <string>

#include "services/updates/Updates.h"

namespace Lorvex::Services::Updates::Detail {

// The one writable update state behind Current().
State& Mutable();

// The running version, as the release comparisons take it.
const std::wstring& RunningVersion();

// The program file (the running one unless a test set another).
std::wstring ProgramPath();

// Index of the first release with parts, or -1.
int32_t FirstWithParts(const std::vector<Release>& releases);

}  // namespace Lorvex::Services::Updates::Detail
