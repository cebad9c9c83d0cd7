#include "download/CustomInstanceID.h"

#include <atomic>

namespace {
std::atomic<int32_t> g_lastInstanceID{0};
}

CCustomInstanceID::CCustomInstanceID() : instanceID(++g_lastInstanceID) {}
