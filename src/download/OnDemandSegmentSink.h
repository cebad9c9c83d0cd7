// Sink of a ranged segment whose task sinks are made one at a time: a task's sink is asked for
// when the segment's bytes reach the task's range, and once the range has arrived whole and the
// sink finished it, the task is reported done (status 200) so that its owner may free the sink.
// A segment of thousands of small files thus holds one task sink at a time, not all of them.
// Across attempts of the transfer a task already done lets its bytes pass by; a task whose sink
// refused stays with its sink until the segment's end. No Windows header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "download/DownloadDataProcessor.h"
#include "download/DownloadTaskInfo.h"

class OnDemandSegmentSink : public DownloadDataProcessor {
  public:
    // Makes the sink of a task, or null (the owner keeps it).
    using MakeSink = std::function<DownloadDataProcessor*(const DownloadTaskInfo&)>;
    // A task ended with the given status; its sink is not used again. The record is handed over.
    using Report = std::function<void(DownloadTaskInfo&& task, int32_t status)>;

    // segment: ranged, built from a task source (entries); kept by reference.
    OnDemandSegmentSink(const SegmentDownloadTaskInfo& segment, MakeSink make, Report report);

    // Asks for sinks in task order until one is made: false when no task has one (the request
    // is then not worth making). The tasks passed over keep no sink.
    bool PrepareFirstSink();
    // Starts a new attempt: the task sinks are begun when their bytes come.
    bool OnBegin(uint32_t contentLength) override;
    // Ends the attempt for every task sink still held; false when one refused, now or earlier in
    // this attempt.
    bool OnFinish() override;
    // Routes the bytes to the tasks covering them; false when a task sink refused its bytes or
    // its start. Bytes of tasks without sink, of tasks done, or beyond the segment are dropped.
    bool OnData(const void* data, uint32_t size) override;
    bool GetContent(std::string& out) override;
    // Reports every task not yet reported with the transfer's status, in task order (those the
    // bytes never reached get their sink made first).
    void ReportRest(int32_t status);

    // Task sinks currently held (for the owner's accounting and the tests).
    size_t HeldSinks() const { return held_.size(); }

  private:
    enum State : uint8_t { kUntouched, kNoSink, kHeld, kReported };
    struct Held {
        size_t entry;
        DownloadTaskInfo task;  // made once, handed over with the report
        DownloadDataProcessor* sink;
        bool begun;     // OnBegin was called in this attempt
        bool finished;  // OnFinish was called in this attempt
        bool refused;   // a call of this attempt returned false
    };

    int64_t RelativeStart(size_t entry) const;
    int64_t RelativeEnd(size_t entry) const;
    // The held sink of an entry, made on first reach and begun once per attempt; null when the
    // entry has none or is done.
    Held* Reach(size_t entry);
    Held* Find(size_t entry);
    // The entry's bytes have all arrived in this attempt.
    void Pass(size_t entry);
    // Makes the entry's record and asks for its sink.
    void Make(size_t entry);

    const SegmentDownloadTaskInfo& segment_;
    MakeSink make_;
    Report report_;
    std::vector<uint8_t> states_;  // State of every entry
    std::vector<Held> held_;       // made and not yet reported, in entry order
    size_t next_ = 0;              // first entry whose bytes have not all arrived in this attempt
    int64_t written_ = 0;          // bytes routed (or dropped) since the last OnBegin
    uint32_t contentLength_ = 0;
    bool refused_ = false;  // a task sink refused in this attempt
    bool begun_ = false;    // the attempt has begun and not finished
};
