#include "download/TransferTimeouts.h"

#include <algorithm>
#include <atomic>

namespace {
std::atomic<uint32_t> g_sendMs{kTransferSendTimeoutMs};
std::atomic<uint32_t> g_receiveMs{kTransferReceiveTimeoutMs};
std::atomic<uint32_t> g_connectMs{kTransferConnectTimeoutMs};
}  // namespace

uint32_t GetTransferSendTimeoutMs() {
    return g_sendMs.load();
}
uint32_t GetTransferReceiveTimeoutMs() {
    return g_receiveMs.load();
}
uint32_t GetTransferConnectTimeoutMs() {
    return g_connectMs.load();
}

TransferProgressFloor::TransferProgressFloor() : windowMs_(GetTransferReceiveTimeoutMs()) {}

bool TransferProgressFloor::Enough(uint64_t elapsedMs, uint64_t totalBytes) {
    if (elapsedMs < windowStartMs_ + windowMs_) return true;
    if (totalBytes - windowStartBytes_ < kTransferProgressFloorBytes) return false;
    windowStartMs_ = elapsedMs;
    windowStartBytes_ = totalBytes;
    return true;
}

ScopedTransferTimeouts::ScopedTransferTimeouts(uint32_t receiveMs)
    : savedSend_(g_sendMs.exchange(std::min(kTransferSendTimeoutMs, receiveMs))),
      savedReceive_(g_receiveMs.exchange(receiveMs)),
      savedConnect_(g_connectMs.exchange(std::min(kTransferConnectTimeoutMs, receiveMs))) {}

ScopedTransferTimeouts::~ScopedTransferTimeouts() {
    g_sendMs.exchange(savedSend_);
    g_receiveMs.exchange(savedReceive_);
    g_connectMs.exchange(savedConnect_);
}
