#include "download/OnDemandSegmentSink.h"

#include <algorithm>
#include <utility>

OnDemandSegmentSink::OnDemandSegmentSink(const SegmentDownloadTaskInfo& segment, MakeSink make,
                                         Report report)
    : segment_(segment),
      make_(std::move(make)),
      report_(std::move(report)),
      states_(segment.entries.size(), kUntouched) {}

int64_t OnDemandSegmentSink::RelativeStart(size_t entry) const {
    return segment_.entries[entry].start - segment_.rangeStart;
}

int64_t OnDemandSegmentSink::RelativeEnd(size_t entry) const {
    return RelativeStart(entry) + static_cast<int64_t>(segment_.entries[entry].length);
}

OnDemandSegmentSink::Held* OnDemandSegmentSink::Find(size_t entry) {
    for (Held& held : held_) {
        if (held.entry == entry) return &held;
    }
    return nullptr;
}

void OnDemandSegmentSink::Make(size_t entry) {
    DownloadTaskInfo task = segment_.TaskAt(entry);
    DownloadDataProcessor* sink = make_ ? make_(task) : nullptr;
    states_[entry] = sink != nullptr ? kHeld : kNoSink;
    if (sink != nullptr) held_.push_back(Held{entry, std::move(task), sink, false, false, false});
}

bool OnDemandSegmentSink::PrepareFirstSink() {
    for (size_t entry = 0; entry < states_.size(); ++entry) {
        if (states_[entry] == kUntouched) Make(entry);
        if (states_[entry] == kHeld) return true;
    }
    return false;
}

OnDemandSegmentSink::Held* OnDemandSegmentSink::Reach(size_t entry) {
    if (states_[entry] == kUntouched) Make(entry);
    if (states_[entry] != kHeld) return nullptr;
    Held* held = Find(entry);
    if (!held->begun) {
        held->begun = true;
        if (!held->sink->OnBegin(contentLength_)) held->refused = refused_ = true;
    }
    return held;
}

void OnDemandSegmentSink::Pass(size_t entry) {
    Held* held = Reach(entry);
    if (held == nullptr || held->refused) return;
    held->finished = true;
    if (!held->sink->OnFinish()) {
        held->refused = refused_ = true;
        return;
    }
    // Whole and accepted: the task is done, whatever becomes of the rest of the segment.
    DownloadTaskInfo task = std::move(held->task);
    held_.erase(held_.begin() + (held - held_.data()));
    states_[entry] = kReported;
    if (report_) report_(std::move(task), 200);
}

bool OnDemandSegmentSink::OnBegin(uint32_t contentLength) {
    written_ = 0;
    next_ = 0;
    contentLength_ = contentLength;
    refused_ = false;
    begun_ = true;
    for (Held& held : held_) held.begun = held.finished = held.refused = false;
    return true;
}

bool OnDemandSegmentSink::OnData(const void* data, uint32_t size) {
    const char* bytes = static_cast<const char*>(data);
    bool ok = true;
    while (size > 0) {
        while (next_ < states_.size() && RelativeEnd(next_) <= written_) Pass(next_++);
        if (next_ >= states_.size()) {
            written_ += size;  // beyond the segment: dropped
            break;
        }
        int64_t n = 0;
        if (written_ < RelativeStart(next_)) {
            n = std::min<int64_t>(RelativeStart(next_) - written_, size);  // a gap: dropped
        } else {
            n = std::min<int64_t>(RelativeEnd(next_) - written_, size);
            Held* held = Reach(next_);
            if (held != nullptr && !held->refused &&
                !held->sink->OnData(bytes, static_cast<uint32_t>(n))) {
                held->refused = refused_ = true;
            }
            if (held != nullptr && held->refused) ok = false;
        }
        written_ += n;
        bytes += n;
        size -= static_cast<uint32_t>(n);
    }
    // The last bytes may have completed tasks (and the empty ones right after them).
    while (next_ < states_.size() && RelativeEnd(next_) <= written_) Pass(next_++);
    return ok;
}

bool OnDemandSegmentSink::OnFinish() {
    // Empty tasks where the body ended (a body with nothing at all included).
    if (begun_) {
        while (next_ < states_.size() && RelativeEnd(next_) <= written_) Pass(next_++);
    }
    begun_ = false;
    bool ok = !refused_;
    for (Held& held : held_) {
        if (held.finished) continue;
        held.finished = true;
        ok = held.sink->OnFinish() && ok;
    }
    return ok;
}

bool OnDemandSegmentSink::GetContent(std::string& /*out*/) {
    return true;
}

void OnDemandSegmentSink::ReportRest(int32_t status) {
    std::vector<Held> held;
    held.swap(held_);
    size_t next = 0;  // held is in entry order
    for (size_t entry = 0; entry < states_.size(); ++entry) {
        if (states_[entry] == kReported) continue;
        DownloadTaskInfo task;
        if (next < held.size() && held[next].entry == entry) {
            task = std::move(held[next++].task);
        } else {
            task = segment_.TaskAt(entry);
            // A task the bytes never reached gets its sink now, as every task of a segment
            // does: its owner learns of the failure through a task it knows.
            if (states_[entry] == kUntouched && make_) make_(task);
        }
        states_[entry] = kReported;
        if (report_) report_(std::move(task), status);
    }
}
