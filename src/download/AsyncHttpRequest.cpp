#include "download/AsyncHttpRequest.h"

AsyncHttpRequest::~AsyncHttpRequest() {
    // The worker goes first: its thread may still use the sink and the parameter record.
    Shutdown();
    task.reset();
    textProcessor.reset();
    param.reset();
}

int32_t AsyncHttpRequest::Start(AsyncRequestParam* newParam) {
    param.reset(newParam);
    handedOut.exchange(0);
    shutDown_.exchange(0);
    if (!task) {
        task = std::make_unique<DownloaderTask>();
        task->useJsonContentType = UseJsonContentType();
        task->verb = GetHttpVerb();
        task->maxAttempts = GetMaxAttempts();
        task->nextSegment = [this](SegmentDownloadTaskInfo* out) { return NextSegment(out); };
        task->workerFinished = [](DownloaderTask*) {};
        task->createProcessor = [this](const DownloadTaskInfo& info) {
            return CreateProcessor(info);
        };
        task->taskResult = [this](const DownloadTaskResultInfo& result) { DeliverResult(result); };
    }
    return task->Start();
}

void AsyncHttpRequest::Shutdown() {
    if (!task) return;
    shutDown_.exchange(1);
    task->Stop();
    task->Join();
}

int32_t AsyncHttpRequest::NextSegment(SegmentDownloadTaskInfo* out) {
    if (handedOut.load() != 0) return 0;
    DownloadTaskInfo info;
    handedOut.exchange(1);
    std::wstring url;
    std::wstring body;
    BuildRequest(url, body);
    info.url = url;
    info.postData = body;
    *out = SegmentDownloadTaskInfo(info);
    return 1;
}

const DownloadDataProcessor* AsyncHttpRequest::CreateProcessor(const DownloadTaskInfo& info) {
    textProcessor = std::make_unique<DownloadTextProcessor>(info);
    return textProcessor.get();
}

void AsyncHttpRequest::DeliverResult(const DownloadTaskResultInfo& result) {
    if (shutDown_.load() != 0) {
        textProcessor.reset();
        return;
    }
    std::string body;
    if (result.statusCode == 200 && textProcessor) textProcessor->GetContent(body);
    OnResponse(std::move(body), result.statusCode);
    textProcessor.reset();
}
