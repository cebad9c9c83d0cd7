// Decides which bytes of a response body reach the sink, so that a ranged request delivers
// exactly the requested range and a short body is recognised as a failure:
// - no range asked: the whole body; it is complete when it reached its Content-Length (if any);
// - 206 answer: the body from its start, at most the requested length; a Content-Range that
//   starts elsewhere is refused; it is complete when the whole requested length arrived;
// - 200 answer to a ranged request (the server ignored Range): the bytes before the range are
//   skipped and those after it dropped; complete when the whole range arrived.
// No Windows header.
#pragma once

#include <cstdint>
#include <string>

// The first byte position of a Content-Range value ("bytes 100-149/1000"), or -1 when the text
// is not of that form.
int64_t ParseContentRangeStart(const std::wstring& value);

class ResponseBodyWindow {
  public:
    // status: 200 or 206; rangeStart < 0 when no range was asked; contentLength < 0 when the
    // answer had none; contentRangeStart < 0 when the answer had no (usable) Content-Range.
    ResponseBodyWindow(int32_t status, int64_t rangeStart, uint32_t rangeLength,
                       int64_t contentLength, int64_t contentRangeStart);

    // false when the answer cannot carry the requested bytes (a 206 for another range).
    bool Acceptable() const { return acceptable_; }
    // The length to announce to the sink: what it will receive, or 0 when unknown.
    uint32_t SinkLength() const;
    // Next size body bytes arrived: the first *skip of them are dropped, the *take after them go
    // to the sink, the rest is dropped.
    void Next(uint32_t size, uint32_t* skip, uint32_t* take);
    // Everything wanted was delivered; further body bytes would be dropped.
    bool Done() const;
    // The body that ended here was complete.
    bool Complete() const;

  private:
    bool acceptable_ = true;
    bool bounded_ = false;      // a window end is known (a range was asked)
    int64_t windowStart_ = 0;   // offset of the first wanted body byte
    int64_t windowLength_ = 0;  // wanted bytes, when bounded_
    int64_t expected_ = -1;     // body length announced by the server, or -1
    int64_t received_ = 0;      // body bytes seen
    int64_t delivered_ = 0;     // bytes handed to the sink
};
