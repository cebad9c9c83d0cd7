// The time-outs every HTTP request applies: 3000 ms to send the request and each piece of a
// body, 30000 ms to wait for the answer's head and for each piece of its body, 10000 ms to
// connect, and 5 connect retries. A body must also bring at least 1 KiB in every receive
// time-out's span (the progress window), so a server trickling bytes ends the attempt like a
// silent one. The product never changes them; tests shorten them process-wide through
// ScopedTransferTimeouts so that a silent or trickling server ends an attempt in a moment. No
// Windows header.
#pragma once

#include <cstdint>

constexpr uint32_t kTransferSendTimeoutMs = 3000;
constexpr uint32_t kTransferReceiveTimeoutMs = 30000;
constexpr uint32_t kTransferConnectTimeoutMs = 10000;
constexpr uint32_t kTransferConnectRetries = 5;
constexpr uint32_t kTransferProgressFloorBytes = 1024;

uint32_t GetTransferSendTimeoutMs();
uint32_t GetTransferReceiveTimeoutMs();
uint32_t GetTransferConnectTimeoutMs();

// Watches a body's progress against the floor: fed the milliseconds since the body began and the
// bytes received so far after each read, it answers false once a whole progress window (the
// receive time-out) has passed with fewer than kTransferProgressFloorBytes new bytes.
class TransferProgressFloor {
  public:
    TransferProgressFloor();
    bool Enough(uint64_t elapsedMs, uint64_t totalBytes);

  private:
    uint64_t windowMs_;
    uint64_t windowStartMs_ = 0;
    uint64_t windowStartBytes_ = 0;
};

// For the object's lifetime: receive time-outs and progress window of receiveMs, send and connect
// time-outs of the product value or receiveMs when that is shorter. Restores the previous values
// afterwards.
class ScopedTransferTimeouts {
  public:
    explicit ScopedTransferTimeouts(uint32_t receiveMs);
    ~ScopedTransferTimeouts();
    ScopedTransferTimeouts(const ScopedTransferTimeouts&) = delete;
    ScopedTransferTimeouts& operator=(const ScopedTransferTimeouts&) = delete;

  private:
    uint32_t savedSend_;
    uint32_t savedReceive_;
    uint32_t savedConnect_;
};
