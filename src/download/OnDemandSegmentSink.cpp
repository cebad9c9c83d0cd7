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

bool OnDemandSegmentSink::PrepareFirstSink() {
    for (size_t entry = 0; entry < states_.size(); ++entry) {
        if (states_[entry] == kHeld) return true;
        if (states_[entry] != kUntouched) continue;
        DownloadDataProcessor* sink = make_ ? make_(segment_.TaskAt(entry)) : nullptr;
        if (sink != nullptr) {
            held_.push_back(Held{entry, sink, false, false, false});
            states_[entry] = kHeld;
            return true;
        }
        states_[entry] = kNoSink;
    }
    return false;
}

OnDemandSegmentSink::Held* OnDemandSegmentSink::Reach(size_t entry) {
    if (states_[entry] == kUntouched) {
        DownloadDataProcessor* sink = make_ ? make_(segment_.TaskAt(entry)) : nullptr;
        states_[entry] = sink != nullptr ? kHeld : kNoSink;
        if (sink != nullptr) held_.push_back(Held{entry, sink, false, false, false});
    }
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
    Drop(entry);
    if (report_) report_(segment_.TaskAt(entry), 200);
}

void OnDemandSegmentSink::Drop(size_t entry) {
    held_.erase(std::remove_if(held_.begin(), held_.end(),
                               [entry](const Held& held) { return held.entry == entry; }),
                held_.end());
    states_[entry] = kReported;
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
    held_.clear();
    for (size_t entry = 0; entry < states_.size(); ++entry) {
        if (states_[entry] == kReported) continue;
        // A task the bytes never reached gets its sink now, as every task of a segment does:
        // its owner learns of the failure through a task it knows.
        if (states_[entry] == kUntouched && make_) make_(segment_.TaskAt(entry));
        states_[entry] = kReported;
        if (report_) report_(segment_.TaskAt(entry), status);
    }
}
