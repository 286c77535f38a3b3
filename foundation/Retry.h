#pragma once
// Waiting out a resource another program holds for a moment: a file that an antivirus, an
// indexer, a backup or a cloud-folder client has open, the clipboard that a history tool, a
// password manager or a remote session is reading. An attempt is made again after short, growing
// pauses while it finds the resource busy, until a deadline. Any thread; the calling thread
// sleeps between attempts, so the deadline is all it can be held up. Nothing fails here: the
// last attempt's answer is the result.

#include <cstdint>
#include <functional>

namespace Lorvex::Retry {

enum class Outcome {
    Done,    // the attempt went through
    Failed,  // it failed for a reason that waiting does not mend
    Busy,    // someone else holds what it needs
};

// Makes the attempt, and while it answers Busy makes it again after pauses of 5 ms, doubling up
// to 200 ms, as long as the tick count (GetTickCount64) is before the deadline. `deadline` is
// asked once, after the first busy answer, so a caller may hand out a window shared between
// several calls. The last answer.
Outcome WhileBusy(const std::function<Outcome()>& attempt, const std::function<uint64_t()>& deadline);

// Tests only: called on the waiting thread before each pause, so a test can let go of what it
// holds at the moment another program would; an empty function removes it. Any thread.
void SetPauseHookForTesting(std::function<void()> hook);

}  // namespace Lorvex::Retry
