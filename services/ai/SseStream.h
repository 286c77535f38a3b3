#pragma once
// The receiving side of a streamed chat-completions answer: server-sent-event lines arrive in
// blocks cut anywhere (inside a line, a UTF-8 sequence, or between CR and LF). Complete lines are
// read as they come; the text deltas are gathered, and after each block that added text the whole
// reply so far is reported once. "data: [DONE]" ends the stream; a chunk that names why the model
// stopped (its finish_reason) comes just before it and already says the answer is whole.

#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/Cancel.h"
#include "services/ai/AiReply.h"

namespace Lorvex::Services {

class SseStream {
public:
    // Both are kept by reference and must outlive the stream. progress may be empty.
    SseStream(const Async::Cancel& cancel, const ProgressCallback& progress);

    SseStream(const SseStream&) = delete;
    SseStream& operator=(const SseStream&) = delete;

    // The body sink: true to go on, false to end the transfer (cancelled or "[DONE]" seen).
    bool OnStreamChunk(const char* data, uint64_t size);

    bool Done() const { return done_; }
    // A chunk named why the model stopped: the answer is whole even when "[DONE]" never arrives.
    bool Finished() const { return finished_; }
    // The reply so far, UTF-8.
    const std::string& Reply() const { return reply_; }

private:
    // Reads one line without its line end; returns whether it added text.
    bool ReadLine(std::string_view line);

    const Async::Cancel& cancel_;
    const ProgressCallback& progress_;
    std::string buffer_;  // bytes after the last complete line
    std::string reply_;
    bool done_ = false;
    bool finished_ = false;
};

}  // namespace Lorvex::Services
