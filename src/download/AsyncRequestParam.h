// Base of the parameter records of background requests; a request subclass defines its own
// record derived from it and reads it when it builds the request. No Windows header.
#pragma once

struct AsyncRequestParam {
    AsyncRequestParam() = default;
    virtual ~AsyncRequestParam() = default;
    AsyncRequestParam(const AsyncRequestParam&) = default;
    AsyncRequestParam& operator=(const AsyncRequestParam&) = default;
};
