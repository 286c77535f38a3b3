#pragma once
// Stand-ins for the worker of a sync round, for tests that start rounds through CloudSync::Start
// without a backend: one that takes every change it is sent, and a gate that holds such rounds
// until the test lets them end. The workers run on the round's thread; the gate may be opened from
// any thread and opens by itself when it goes out of scope, so a failed test never leaves a round
// waiting.

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>

#include "services/sync/CloudSync.h"

namespace Lorvex::Testing {

// A backend that confirms every item of the job; a full round pulls nothing new.
inline Services::CloudSync::Result AcceptEverything(const Services::CloudSync::Job& job) {
    Services::CloudSync::Result result;
    result.account = job.account;
    for (const Services::CloudSync::QueueItem& item : job.items) {
        result.done.push_back(item.seq);
    }
    result.pulled = job.full;
    return result;
}

class RoundGate {
public:
    RoundGate() = default;
    RoundGate(const RoundGate&) = delete;
    RoundGate& operator=(const RoundGate&) = delete;
    ~RoundGate() { Open(); }

    void Open() { *open_ = true; }

    // The worker, held until the gate opens.
    std::function<Services::CloudSync::Result(const Services::CloudSync::Job&)> Hold(
        std::function<Services::CloudSync::Result(const Services::CloudSync::Job&)> worker) const {
        return [open = open_, worker = std::move(worker)](const Services::CloudSync::Job& job) {
            while (!*open) {
                Sleep(1);
            }
            return worker(job);
        };
    }

private:
    std::shared_ptr<std::atomic<bool>> open_ = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace Lorvex::Testing
