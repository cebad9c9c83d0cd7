// An HTTP/1.0 server of the tests' own on 127.0.0.1 (an ephemeral port), in process, over
// Winsock. It records every request (request line, header lines, body) and answers from a
// script: replies are used in order and the last one repeats. A reply can omit Content-Length,
// cut the body short, stall until released, close without an answer, repeat its body without
// end, trickle its body, or serve a file with or without honouring Range. Each connection gets one
// answer and is closed.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/CriticalSection.h"
#include "framework/ScopedHandle.h"

class LoopbackHttpServer {
  public:
    struct Reply {
        enum class Kind { Answer, CloseWithoutAnswer, ServeFile };
        Kind kind = Kind::Answer;
        int status = 200;
        std::string body;                  // Answer: the body
        bool contentLength = true;         // send a Content-Length header
        std::vector<std::string> headers;  // further header lines
        int64_t sendLimit = -1;            // body bytes sent before the connection ends (-1: all)
        bool stall = false;                // after sendLimit bytes, wait until released, then close
        bool honourRange = true;           // ServeFile: answer a Range with 206
        bool hold = false;                 // wait until released before answering at all
        bool endless = false;              // after the body, send it again and again until the
                                           // client leaves (give no Content-Length with it)
        int trickleMs = 0;                 // send the body a byte at a time, this far apart

        static Reply Status(int code, std::string text = std::string());
        static Reply Close();
        static Reply File(bool honour = true);
    };

    struct Request {
        std::string requestLine;
        std::vector<std::string> headers;
        std::string body;
        std::string Method() const;
        std::string Target() const;  // path and query as sent
        // Value of the first header of that name (case-insensitive), "" when absent.
        std::string Header(const std::string& name) const;
        bool HasHeader(const std::string& name) const;
    };

    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    bool Start();
    void Stop();  // ends stalls, closes everything, joins every thread
    uint16_t Port() const { return port_; }
    std::wstring Url(const std::wstring& path) const;  // http://127.0.0.1:<port><path>

    void SetScript(const std::vector<Reply>& replies);
    void SetFile(const std::string& content);
    std::vector<Request> Requests() const;
    size_t RequestCount() const;

    // Waits until a connection stalls or holds (true) or the time has passed (false).
    bool WaitForStall(DWORD milliseconds);
    // Lets every stalled connection close and every held one answer.
    void ReleaseStalls();

  private:
    static DWORD WINAPI AcceptMain(void* self);
    static DWORD WINAPI ConnectionMain(void* context);
    void AcceptLoop();
    void Serve(SOCKET client);
    bool ReadRequest(SOCKET client, Request* request);
    bool SendAll(SOCKET client, const char* data, size_t size);
    Reply NextReply();

    SOCKET listener_ = INVALID_SOCKET;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    ombrix::ScopedKernelHandle stopEvent_;
    ombrix::ScopedKernelHandle releaseEvent_;
    ombrix::ScopedKernelHandle stalledEvent_;
    ombrix::ScopedKernelHandle acceptThread_;
    mutable ombrix::CriticalSection lock_;
    std::vector<HANDLE> connectionThreads_;
    std::vector<Reply> script_;
    size_t nextReply_ = 0;
    std::string file_;
    std::vector<Request> requests_;
    bool wsaStarted_ = false;
};
