// The time-outs every HTTP request applies: 3000 ms to send the request and each piece of a
// body, 30000 ms to wait for the answer's head and for each piece of its body, and 5 connect
// retries. The product never changes them; tests shorten them process-wide through
// ScopedTransferTimeouts so that a silent server ends an attempt in a moment. No Windows header.
#pragma once

#include <cstdint>

constexpr uint32_t kTransferSendTimeoutMs = 3000;
constexpr uint32_t kTransferReceiveTimeoutMs = 30000;
constexpr uint32_t kTransferConnectRetries = 5;

uint32_t GetTransferSendTimeoutMs();
uint32_t GetTransferReceiveTimeoutMs();

// For the object's lifetime: receive time-outs of receiveMs, send time-outs of the product value
// or receiveMs when that is shorter. Restores the previous values afterwards.
class ScopedTransferTimeouts {
  public:
    explicit ScopedTransferTimeouts(uint32_t receiveMs);
    ~ScopedTransferTimeouts();
    ScopedTransferTimeouts(const ScopedTransferTimeouts&) = delete;
    ScopedTransferTimeouts& operator=(const ScopedTransferTimeouts&) = delete;

  private:
    uint32_t savedSend_;
    uint32_t savedReceive_;
};
