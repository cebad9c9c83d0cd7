#include "download/TransferTimeouts.h"

#include <algorithm>
#include <atomic>

namespace {
std::atomic<uint32_t> g_sendMs{kTransferSendTimeoutMs};
std::atomic<uint32_t> g_receiveMs{kTransferReceiveTimeoutMs};
}  // namespace

uint32_t GetTransferSendTimeoutMs() {
    return g_sendMs.load();
}
uint32_t GetTransferReceiveTimeoutMs() {
    return g_receiveMs.load();
}

ScopedTransferTimeouts::ScopedTransferTimeouts(uint32_t receiveMs)
    : savedSend_(g_sendMs.exchange(std::min(kTransferSendTimeoutMs, receiveMs))),
      savedReceive_(g_receiveMs.exchange(receiveMs)) {}

ScopedTransferTimeouts::~ScopedTransferTimeouts() {
    g_sendMs.exchange(savedSend_);
    g_receiveMs.exchange(savedReceive_);
}
