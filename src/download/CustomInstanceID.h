// Small polymorphic base giving every object a process-wide unique, increasing number (the first
// object gets 1). No Windows header.
#pragma once

#include <cstdint>

class CCustomInstanceID {
  public:
    CCustomInstanceID();
    virtual ~CCustomInstanceID() = default;
    CCustomInstanceID(const CCustomInstanceID&) = delete;
    CCustomInstanceID& operator=(const CCustomInstanceID&) = delete;

    int32_t instanceID;
};
