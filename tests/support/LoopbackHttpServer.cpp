#include "LoopbackHttpServer.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace {

struct ConnectionContext {
    LoopbackHttpServer* server;
    SOCKET client;
};

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

const char* Reason(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 206:
            return "Partial Content";
        case 404:
            return "Not Found";
        case 416:
            return "Range Not Satisfiable";
        case 500:
            return "Internal Server Error";
        default:
            return "Status";
    }
}

// "bytes=a-b" -> a and b (b may be absent: to the end). false when not of that form.
bool ParseRange(const std::string& value, int64_t* first, int64_t* last) {
    const std::string v = Trim(value);
    if (v.compare(0, 6, "bytes=") != 0) return false;
    const size_t dash = v.find('-', 6);
    if (dash == std::string::npos || dash == 6) return false;
    *first = std::strtoll(v.c_str() + 6, nullptr, 10);
    *last = dash + 1 < v.size() ? std::strtoll(v.c_str() + dash + 1, nullptr, 10) : -1;
    return true;
}

}  // namespace

LoopbackHttpServer::Reply LoopbackHttpServer::Reply::Status(int code, std::string text) {
    Reply reply;
    reply.status = code;
    reply.body = std::move(text);
    return reply;
}

LoopbackHttpServer::Reply LoopbackHttpServer::Reply::Close() {
    Reply reply;
    reply.kind = Kind::CloseWithoutAnswer;
    return reply;
}

LoopbackHttpServer::Reply LoopbackHttpServer::Reply::File(bool honour) {
    Reply reply;
    reply.kind = Kind::ServeFile;
    reply.honourRange = honour;
    return reply;
}

std::string LoopbackHttpServer::Request::Method() const {
    return requestLine.substr(0, requestLine.find(' '));
}

std::string LoopbackHttpServer::Request::Target() const {
    const size_t first = requestLine.find(' ');
    if (first == std::string::npos) return {};
    const size_t second = requestLine.find(' ', first + 1);
    return requestLine.substr(first + 1,
                              second == std::string::npos ? std::string::npos : second - first - 1);
}

std::string LoopbackHttpServer::Request::Header(const std::string& name) const {
    const std::string wanted = Lower(name);
    for (const std::string& line : headers) {
        const size_t colon = line.find(':');
        if (colon != std::string::npos && Lower(Trim(line.substr(0, colon))) == wanted) {
            return Trim(line.substr(colon + 1));
        }
    }
    return {};
}

bool LoopbackHttpServer::Request::HasHeader(const std::string& name) const {
    const std::string wanted = Lower(name);
    for (const std::string& line : headers) {
        const size_t colon = line.find(':');
        if (colon != std::string::npos && Lower(Trim(line.substr(0, colon))) == wanted) {
            return true;
        }
    }
    return false;
}

LoopbackHttpServer::LoopbackHttpServer()
    : stopEvent_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      releaseEvent_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      stalledEvent_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
    script_.push_back(Reply::Status(200, "ok"));
}

LoopbackHttpServer::~LoopbackHttpServer() {
    Stop();
}

bool LoopbackHttpServer::Start() {
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
    wsaStarted_ = true;
    listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener_ == INVALID_SOCKET) return false;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(listener_, 64) != 0) {
        return false;
    }
    int length = sizeof(address);
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    acceptThread_.Reset(::CreateThread(nullptr, 0, &AcceptMain, this, 0, nullptr));
    return static_cast<bool>(acceptThread_);
}

void LoopbackHttpServer::Stop() {
    stopping_ = true;
    if (stopEvent_) ::SetEvent(stopEvent_.Get());
    if (acceptThread_) {
        ::WaitForSingleObject(acceptThread_.Get(), INFINITE);
        acceptThread_.Reset();
    }
    std::vector<HANDLE> threads;
    {
        ombrix::ScopedLock guard(lock_);
        threads.swap(connectionThreads_);
    }
    for (HANDLE thread : threads) {
        ::WaitForSingleObject(thread, INFINITE);
        ::CloseHandle(thread);
    }
    if (listener_ != INVALID_SOCKET) {
        ::closesocket(listener_);
        listener_ = INVALID_SOCKET;
    }
    if (wsaStarted_) {
        ::WSACleanup();
        wsaStarted_ = false;
    }
}

std::wstring LoopbackHttpServer::Url(const std::wstring& path) const {
    return L"http://127.0.0.1:" + std::to_wstring(port_) + path;
}

void LoopbackHttpServer::SetScript(const std::vector<Reply>& replies) {
    ombrix::ScopedLock guard(lock_);
    script_ = replies;
    nextReply_ = 0;
}

void LoopbackHttpServer::SetFile(const std::string& content) {
    ombrix::ScopedLock guard(lock_);
    file_ = content;
}

std::vector<LoopbackHttpServer::Request> LoopbackHttpServer::Requests() const {
    ombrix::ScopedLock guard(lock_);
    return requests_;
}

size_t LoopbackHttpServer::RequestCount() const {
    ombrix::ScopedLock guard(lock_);
    return requests_.size();
}

bool LoopbackHttpServer::WaitForStall(DWORD milliseconds) {
    return ::WaitForSingleObject(stalledEvent_.Get(), milliseconds) == WAIT_OBJECT_0;
}

void LoopbackHttpServer::ReleaseStalls() {
    ::SetEvent(releaseEvent_.Get());
}

LoopbackHttpServer::Reply LoopbackHttpServer::NextReply() {
    ombrix::ScopedLock guard(lock_);
    if (script_.empty()) return Reply::Status(200);
    const Reply reply = script_[std::min(nextReply_, script_.size() - 1)];
    ++nextReply_;
    return reply;
}

DWORD WINAPI LoopbackHttpServer::AcceptMain(void* self) {
    static_cast<LoopbackHttpServer*>(self)->AcceptLoop();
    return 0;
}

void LoopbackHttpServer::AcceptLoop() {
    while (!stopping_) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(listener_, &readable);
        timeval wait = {0, 20000};
        if (::select(0, &readable, nullptr, nullptr, &wait) <= 0) continue;
        SOCKET client = ::accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET) continue;
        auto* context = new ConnectionContext{this, client};
        HANDLE thread = ::CreateThread(nullptr, 0, &ConnectionMain, context, 0, nullptr);
        if (thread == nullptr) {
            ::closesocket(client);
            delete context;
            continue;
        }
        ombrix::ScopedLock guard(lock_);
        connectionThreads_.push_back(thread);
    }
}

DWORD WINAPI LoopbackHttpServer::ConnectionMain(void* context) {
    ConnectionContext* c = static_cast<ConnectionContext*>(context);
    c->server->Serve(c->client);
    ::closesocket(c->client);
    delete c;
    return 0;
}

bool LoopbackHttpServer::ReadRequest(SOCKET client, Request* request) {
    std::string data;
    size_t headerEnd = std::string::npos;
    size_t wanted = 0;
    char buffer[4096];
    for (;;) {
        if (headerEnd == std::string::npos) {
            headerEnd = data.find("\r\n\r\n");
            if (headerEnd != std::string::npos) {
                size_t lineStart = 0;
                bool first = true;
                while (lineStart < headerEnd) {
                    size_t lineEnd = data.find("\r\n", lineStart);
                    if (lineEnd == std::string::npos || lineEnd > headerEnd) lineEnd = headerEnd;
                    const std::string line = data.substr(lineStart, lineEnd - lineStart);
                    if (first) {
                        request->requestLine = line;
                        first = false;
                    } else {
                        request->headers.push_back(line);
                    }
                    lineStart = lineEnd + 2;
                }
                wanted = static_cast<size_t>(
                    std::strtoull(request->Header("Content-Length").c_str(), nullptr, 10));
            }
        }
        if (headerEnd != std::string::npos && data.size() >= headerEnd + 4 + wanted) {
            request->body = data.substr(headerEnd + 4, wanted);
            return true;
        }
        if (stopping_) return false;
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(client, &readable);
        timeval wait = {0, 20000};
        const int ready = ::select(0, &readable, nullptr, nullptr, &wait);
        if (ready < 0) return false;
        if (ready == 0) continue;
        const int got = ::recv(client, buffer, sizeof(buffer), 0);
        if (got <= 0) return false;
        data.append(buffer, got);
    }
}

bool LoopbackHttpServer::SendAll(SOCKET client, const char* data, size_t size) {
    while (size > 0) {
        const int sent = ::send(client, data, static_cast<int>(std::min<size_t>(size, 65536)), 0);
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

void LoopbackHttpServer::Serve(SOCKET client) {
    Request request;
    if (!ReadRequest(client, &request)) return;
    Reply reply = NextReply();
    {
        ombrix::ScopedLock guard(lock_);
        requests_.push_back(request);
    }
    if (reply.hold) {
        ::SetEvent(stalledEvent_.Get());
        HANDLE events[] = {releaseEvent_.Get(), stopEvent_.Get()};
        ::WaitForMultipleObjects(2, events, FALSE, INFINITE);
    }
    if (reply.kind == Reply::Kind::CloseWithoutAnswer) return;

    std::vector<std::string> headers = reply.headers;
    std::string body = reply.body;
    int status = reply.status;
    if (reply.kind == Reply::Kind::ServeFile) {
        std::string file;
        {
            ombrix::ScopedLock guard(lock_);
            file = file_;
        }
        int64_t first = 0;
        int64_t last = 0;
        const int64_t size = static_cast<int64_t>(file.size());
        if (reply.honourRange && ParseRange(request.Header("Range"), &first, &last)) {
            if (last < 0 || last >= size) last = size - 1;
            if (first >= size || first > last) {
                status = 416;
                body.clear();
            } else {
                status = 206;
                body =
                    file.substr(static_cast<size_t>(first), static_cast<size_t>(last - first + 1));
                headers.push_back("Content-Range: bytes " + std::to_string(first) + "-" +
                                  std::to_string(last) + "/" + std::to_string(size));
            }
        } else {
            status = 200;
            body = file;
        }
    }
    std::string head = "HTTP/1.0 " + std::to_string(status) + " " + Reason(status) + "\r\n";
    if (reply.contentLength) head += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    for (const std::string& line : headers) head += line + "\r\n";
    head += "Connection: close\r\n\r\n";
    if (!SendAll(client, head.data(), head.size())) return;
    size_t count = body.size();
    if (reply.sendLimit >= 0) count = std::min(count, static_cast<size_t>(reply.sendLimit));
    for (size_t i = 0; reply.trickleMs > 0 && i < count; ++i) {
        if (::WaitForSingleObject(stopEvent_.Get(), reply.trickleMs) == WAIT_OBJECT_0) return;
        if (!SendAll(client, body.data() + i, 1)) return;
    }
    if (reply.trickleMs == 0 && !SendAll(client, body.data(), count)) return;
    while (reply.endless && !body.empty() && !stopping_) {
        if (!SendAll(client, body.data(), body.size())) return;
    }
    if (reply.stall) {
        ::SetEvent(stalledEvent_.Get());
        HANDLE events[] = {releaseEvent_.Get(), stopEvent_.Get()};
        ::WaitForMultipleObjects(2, events, FALSE, INFINITE);
    }
    ::shutdown(client, SD_SEND);
}
