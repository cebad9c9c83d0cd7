// The update flow of the foreground window, driven through its progress message with the
// services and the questions replaced by stand-ins.
#include <gtest/gtest.h>

#include <algorithm>

#include "FlowTestSupport.h"
#include "app/FileServices.h"
#include "flow/FlowTimers.h"
#include "flow/ResourceProgressMessage.h"
#include "framework/MessageLoop.h"
#include "res/resource.h"

namespace {

::testing::Environment* const kGdiplus =
    ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

class ForegroundFlowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window.root = root.Path();
        ASSERT_TRUE(window.Create(IDD_MAIN_FOREGROUND, nullptr));
        // The timers run in the tests' own time: only explicit ticks below.
        for (UINT_PTR id : {TIMER_PROGRESS_BAR, TIMER_GAME_WATCH, TIMER_STATUS_LINE}) {
            window.KillTimer(id);
        }
    }

    // A progress report as the resource manager sends it: through the posted message.
    void Report(ResourceManagerProgressState state, ResourceManagerProgressInfoBase* record) {
        window.PostProgress(state, record);
        ombrix::PumpPendingMessages();
    }
    void Notice(const std::wstring& url, RequestNoticeResult result,
                std::vector<std::wstring> codes = {}) {
        window.OnNoticeReply(url, result, std::move(codes));
        ombrix::PumpPendingMessages();
    }
    // The game watch finds no game and starts the notice request.
    void StartFlow() { window.OnTimer(TIMER_GAME_WATCH); }

    std::wstring StatusText() const { return window.statusLabel.GetWindowText(); }

    FakeFlowServices services;
    ScopedFlowServices installed{&services};
    ScratchRoot root;
    ScriptedForeground window;
};

TEST_F(ForegroundFlowTest, StartsWaitingForTheGame) {
    EXPECT_EQ(L"游戏初始化中...", StatusText());
    EXPECT_EQ(0.0f, window.progressFraction);
    EXPECT_FALSE(window.currentTip.empty());
    EXPECT_EQ(window.currentTip, window.tipsLabel.GetWindowText());
}

TEST_F(ForegroundFlowTest, GameWatchWaitsThenRequestsTheNoticeOnce) {
    services.gameRunning = true;
    window.OnTimer(TIMER_GAME_WATCH);
    window.OnTimer(TIMER_GAME_WATCH);
    EXPECT_EQ(L"等待游戏结束...", StatusText());
    EXPECT_TRUE(services.notices.empty());
    ASSERT_EQ(2u, services.watchedPaths.size());
    EXPECT_EQ(root.Path() + L"game\\vemo_game.exe", services.watchedPaths[0]);

    services.gameRunning = false;
    window.OnTimer(TIMER_GAME_WATCH);
    window.OnTimer(TIMER_GAME_WATCH);  // a late tick of the killed timer changes nothing
    ASSERT_EQ(1u, services.notices.size());
    EXPECT_EQ(L"获取游戏更新地址...", StatusText());
    const NoticeRequestParam& param = *services.notices[0];
    EXPECT_EQ(L"Chinese", param.language);
    EXPECT_EQ(L"com.corvane.vemo.pc.Ombrix", param.packageName);
    EXPECT_EQ(L"100001", param.channelID);
    EXPECT_EQ(L"", param.deviceModel);
    EXPECT_EQ(L"", param.cpu);
    EXPECT_EQ(3, std::count(param.version.begin(), param.version.end(), L'.'));
}

TEST_F(ForegroundFlowTest, EveryRetryMovesToTheNextAddressOfTheCodeList) {
    StartFlow();
    const std::wstring url = L"http://cdn-A.example/A/list.txt";
    const std::vector<std::wstring> codes = {L"A", L"B", L"C"};
    Notice(url, NoticeResultSuccess, codes);
    ASSERT_EQ(1u, services.initialized.size());
    EXPECT_EQ(url, services.initialized[0].configUrl);
    EXPECT_EQ(root.Path(), services.initialized[0].rootDir);
    EXPECT_EQ(root.Path(), services.initialized[0].launcherDir);
    EXPECT_EQ(1.0f, window.progressFraction);
    ASSERT_TRUE(services.progressCallback);

    // Three failures of different kinds, each answered with the retry button.
    const ResourceManagerProgressState failures[] = {ProgressCDNConfigConnectFailed,
                                                     ProgressCDNConfigContentFailed,
                                                     ProgressLauncherUpdateFailed};
    const wchar_t* expectedUrls[] = {L"http://cdn-B.example/B/list.txt",
                                     L"http://cdn-C.example/C/list.txt",
                                     L"http://cdn-C.example/C/list.txt"};
    for (int i = 0; i < 3; ++i) {
        window.answers = {1};
        Report(failures[i], nullptr);
        EXPECT_EQ(i + 1, window.retryCount);
        ASSERT_EQ(static_cast<size_t>(i + 2), services.notices.size());
        Notice(url, NoticeResultSuccess, codes);
        ASSERT_EQ(static_cast<size_t>(i + 2), services.initialized.size());
        EXPECT_EQ(expectedUrls[i], services.initialized.back().configUrl);
    }
    EXPECT_EQ(0, services.ends);
    ASSERT_EQ(3u, window.questions.size());
    EXPECT_EQ(L"比对服务器资源失败!", window.questions[0].text);
    EXPECT_EQ(L"获取服务器资源失败!", window.questions[1].text);
    EXPECT_EQ(L"加载Launcher资源失败!", window.questions[2].text);
    for (const AskedQuestion& q : window.questions) {
        EXPECT_EQ(1u, q.type);
        EXPECT_EQ(L"重试", q.first);
        EXPECT_EQ(L"退出", q.second);
        EXPECT_FALSE(q.highlightSecond);
    }
}

TEST_F(ForegroundFlowTest, NoticeFailuresAskAndEndWhenDeclined) {
    StartFlow();
    const struct {
        RequestNoticeResult result;
        const wchar_t* text;
    } cases[] = {{NoticeResultNoPackageURL, L"无法完成游戏资源更新，未配置更新地址!"},
                 {NoticeResultParseFailed, L"无法完成游戏资源更新，解析失败!"},
                 {NoticeResultRequestFailed, L"无法完成游戏资源更新，请求失败!"}};
    int ends = 0;
    for (const auto& c : cases) {
        window.answers = {7};
        Notice(L"", c.result);
        EXPECT_EQ(c.text, StatusText());
        ASSERT_FALSE(window.questions.empty());
        EXPECT_EQ(c.text, window.questions.back().text);
        EXPECT_EQ(++ends, services.ends);
    }
    EXPECT_TRUE(services.initialized.empty());
    EXPECT_EQ(0, window.retryCount);
    EXPECT_EQ(1u, services.notices.size());
}

TEST_F(ForegroundFlowTest, StageTextsAndFractions) {
    Report(ProgressLocalResourceLoading, nullptr);
    EXPECT_EQ(L"开始校验本地资源...", StatusText());
    EXPECT_EQ(0.0f, window.progressFraction);
    Report(ProgressLocalResourceLoaded, nullptr);
    EXPECT_EQ(L"校验本地资源完成...", StatusText());
    EXPECT_EQ(1.0f, window.progressFraction);
    Report(ProgressCDNConfigRequesting, nullptr);
    EXPECT_EQ(L"开始比对服务器资源...", StatusText());
    Report(ProgressLauncherInfoLoading, nullptr);  // nothing changes
    EXPECT_EQ(L"开始比对服务器资源...", StatusText());
    EXPECT_EQ(0.0f, window.progressFraction);

    Report(ProgressResourceUpdateStarted, nullptr);
    EXPECT_EQ(L"美女指挥官正在为您调配游戏资源...", StatusText());
    EXPECT_EQ(1, window.status.downloading);
    Report(ProgressLauncherInfoLoaded, nullptr);
    EXPECT_EQ(0, window.status.downloading);
    Report(ProgressLauncherUpdateStarted, nullptr);
    EXPECT_EQ(L"加载Launcher资源中,请耐心等待...", StatusText());
    EXPECT_EQ(1, window.status.downloading);
    window.PostMessage(WM_RESOURCE_PROGRESS, 15, 0);
    ombrix::PumpPendingMessages();
    EXPECT_EQ(0, window.status.downloading);
    EXPECT_TRUE(window.questions.empty());
}

TEST_F(ForegroundFlowTest, ProgressRecordsDriveFractionSizesAndStatusLine) {
    Notice(L"http://cdn.example/a/list.txt", NoticeResultSuccess);
    Report(ProgressResourceUpdateStarted, nullptr);
    ResourceManagerUpdateProgressInfo half(512, 1024);
    Report(ProgressUpdateProgress, &half);
    EXPECT_EQ(0.5f, window.progressFraction);
    EXPECT_EQ(512, window.status.downloadedBytes);
    EXPECT_EQ(1024, window.status.totalBytes);
    EXPECT_EQ(L"1 KB/2KB", window.status.sizeText);

    window.OnTimer(TIMER_PROGRESS_BAR);
    EXPECT_EQ(0.5f, window.progressBar.progress);
    window.OnTimer(TIMER_STATUS_LINE);
    EXPECT_EQ(L"资源更新中,速度:1 KB/秒,预计:6秒(1 KB/2KB)", StatusText());

    // The burst stays in the six-second average for five more ticks; then twenty-one
    // seconds without bytes: the counter, and the hint in the tip line.
    for (int i = 0; i < 5 + 20; ++i) window.OnTimer(TIMER_STATUS_LINE);
    EXPECT_NE(std::wstring::npos, StatusText().find(L"[等待网络中..(20)S]"));
    EXPECT_EQ(window.currentTip, window.tipsLabel.GetWindowText());
    window.OnTimer(TIMER_STATUS_LINE);
    EXPECT_NE(std::wstring::npos, StatusText().find(L"[等待网络中..(21)S]"));
    EXPECT_NE(std::wstring::npos, window.tipsLabel.GetWindowText().find(L"下载提示"));

    // Bytes again: speed line and a tip instead of the hint.
    ResourceManagerUpdateProgressInfo more(1024 * 1024, 4 * 1024 * 1024);
    Report(ProgressUpdateProgress, &more);
    window.OnTimer(TIMER_STATUS_LINE);
    EXPECT_NE(std::wstring::npos, StatusText().find(L"速度:"));
    EXPECT_EQ(window.currentTip, window.tipsLabel.GetWindowText());
    EXPECT_EQ(0, window.status.waitSeconds);

    // A record without a total gives no fraction rather than an undefined one; the bar
    // clamps whatever it receives.
    ResourceManagerUpdateProgressInfo noTotal(10, 0);
    Report(ProgressUpdateProgress, &noTotal);
    EXPECT_EQ(0.0f, window.progressFraction);
    window.progressFraction = 3.0f;
    window.OnTimer(TIMER_PROGRESS_BAR);
    EXPECT_EQ(1.0f, window.progressBar.progress);
}

// Byte counts arrive for every KiB written, faster than a window under load handles
// messages: while one waits in the queue, newer counts go into it instead of queueing more,
// so timers and painting still get their turn. Other states keep their own messages.
TEST_F(ForegroundFlowTest, QueuedByteCountsTakeNewerCountsInsteadOfQueueingMore) {
    Notice(L"http://cdn.example/a/list.txt", NoticeResultSuccess);
    const auto dispatchQueued = [this] {
        std::vector<WPARAM> states;
        MSG msg{};
        while (::PeekMessageW(&msg, window.GetSafeHwnd(), WM_RESOURCE_PROGRESS,
                              WM_RESOURCE_PROGRESS, PM_REMOVE)) {
            states.push_back(msg.wParam);
            ::DispatchMessageW(&msg);
        }
        return states;
    };
    ResourceManagerUpdateProgressInfo counts(0, 4096);
    for (int64_t n = 1024; n <= 3072; n += 1024) {
        counts.downloadedBytes = n;
        window.PostProgress(ProgressUpdateProgress, &counts);
        window.PostProgress(ProgressLauncherInfoLoaded, nullptr);
    }
    EXPECT_EQ((std::vector<WPARAM>{ProgressUpdateProgress, ProgressLauncherInfoLoaded,
                                   ProgressLauncherInfoLoaded, ProgressLauncherInfoLoaded}),
              dispatchQueued());
    EXPECT_EQ(3072, window.status.downloadedBytes);
    EXPECT_EQ(0.75f, window.progressFraction);

    // Once handled, the next count gets a message of its own again.
    counts.downloadedBytes = 4096;
    window.PostProgress(ProgressUpdateProgress, &counts);
    EXPECT_EQ(std::vector<WPARAM>{ProgressUpdateProgress}, dispatchQueued());
    EXPECT_EQ(4096, window.status.downloadedBytes);
    EXPECT_EQ(1.0f, window.progressFraction);
}

TEST_F(ForegroundFlowTest, ResourceFailureOffersToDropTheLocalManifest) {
    const std::wstring manifest = root.Path() + L"version.txt";
    ASSERT_TRUE(WriteTextFile(manifest.c_str(), L"a.pak|ABC\n"));

    // Declined retry, accepted removal: the manifest is gone and the process ends.
    window.answers = {7, 1};
    ResourceManagerUpdateErrorInfo error(476);
    Report(ProgressResourceUpdateFailed, &error);
    EXPECT_EQ(L"加载服务器资源失败_Code:476", StatusText());
    EXPECT_EQ(1.0f, window.progressFraction);
    ASSERT_EQ(2u, window.questions.size());
    EXPECT_EQ(L"加载服务器资源失败_Code:476", window.questions[0].text);
    EXPECT_EQ(L"删除本地缓存资源后重试", window.questions[1].text);
    EXPECT_EQ(L"确定", window.questions[1].first);
    EXPECT_EQ(L"退出", window.questions[1].second);
    EXPECT_FALSE(FileExists(manifest));
    EXPECT_EQ(1, services.ends);

    // Without a manifest there is no second question; without a record the code is 999999.
    window.questions.clear();
    window.answers = {7};
    Report(ProgressResourceUpdateFailed, nullptr);
    ASSERT_EQ(1u, window.questions.size());
    EXPECT_EQ(L"加载服务器资源失败_Code:999999", window.questions[0].text);
    EXPECT_EQ(2, services.ends);
}

TEST_F(ForegroundFlowTest, ResourceFailureKeepsTheManifestWhenRemovalDeclined) {
    const std::wstring manifest = root.Path() + L"version.txt";
    ASSERT_TRUE(WriteTextFile(manifest.c_str(), L"a.pak|ABC\n"));
    window.answers = {7, 7};
    ResourceManagerUpdateErrorInfo error(404);
    Report(ProgressResourceUpdateFailed, &error);
    EXPECT_EQ(2u, window.questions.size());
    EXPECT_TRUE(FileExists(manifest));
    EXPECT_EQ(1, services.ends);
}

TEST_F(ForegroundFlowTest, DiskCheckStartsTheBatchesWhenTheSpaceSuffices) {
    services.freeAnswers = {5000};
    RequestDownloadTotalSizeNoticeInfo size(5000);
    Report(ProgressDownloadSizeNotice, &size);
    EXPECT_TRUE(window.questions.empty());
    ASSERT_EQ(1u, services.queriedDrives.size());
    EXPECT_EQ(root.Path().substr(0, 3), services.queriedDrives[0]);
    EXPECT_EQ(1, services.workerWaits);
    EXPECT_EQ(1, services.launcherUpdates);
    EXPECT_EQ(1, services.resourceUpdates);

    // A launcher batch started: the resources wait for the restarted launcher.
    services.launcherBatchStarts = true;
    Report(ProgressDownloadSizeNotice, &size);
    EXPECT_EQ(2, services.launcherUpdates);
    EXPECT_EQ(1, services.resourceUpdates);

    // Without a record nothing happens.
    Report(ProgressDownloadSizeNotice, nullptr);
    EXPECT_EQ(2, services.launcherUpdates);
}

TEST_F(ForegroundFlowTest, DiskCheckAsksUntilThereIsRoom) {
    services.freeAnswers = {1000, 1000, 2000};
    window.answers = {1, 1};
    RequestDownloadTotalSizeNoticeInfo size(1001);
    Report(ProgressDownloadSizeNotice, &size);
    ASSERT_EQ(2u, window.questions.size());
    const std::wstring drive = root.Path().substr(0, 3);
    EXPECT_EQ(drive + L"磁盘空间不足，无法完成此次更新，请确保释放出1 KB空间后继续",
              window.questions[0].text);
    EXPECT_EQ(1u, window.questions[0].type);
    EXPECT_EQ(L"", window.questions[0].first);
    EXPECT_EQ(L"", window.questions[0].second);
    EXPECT_EQ(3u, services.queriedDrives.size());
    EXPECT_EQ(1, services.launcherUpdates);
    EXPECT_EQ(0, services.ends);
}

TEST_F(ForegroundFlowTest, DiskCheckEndsWhenDeclinedOrUnmeasurable) {
    services.freeAnswers = {10};
    window.answers = {7};
    RequestDownloadTotalSizeNoticeInfo size(11);
    Report(ProgressDownloadSizeNotice, &size);
    EXPECT_EQ(1, services.ends);
    EXPECT_EQ(0, services.launcherUpdates);
    EXPECT_EQ(0, services.workerWaits);

    services.freeAnswers = {-1};
    window.questions.clear();
    Report(ProgressDownloadSizeNotice, &size);
    ASSERT_EQ(1u, window.questions.size());
    EXPECT_EQ(L"无法完成下载，没有成功获取磁盘大小!", window.questions[0].text);
    EXPECT_EQ(0u, window.questions[0].type);
    EXPECT_EQ(2, services.ends);
    EXPECT_EQ(0, services.launcherUpdates);
}

TEST_F(ForegroundFlowTest, FinishedResourcesStartTheGameOnTheTimer) {
    Report(ProgressResourceUpdateFinished, nullptr);
    EXPECT_EQ(L"资源更新完成,准备启动游戏.", StatusText());
    EXPECT_EQ(1.0f, window.progressFraction);
    EXPECT_EQ(0, window.gameStarts);
    window.OnTimer(TIMER_LAUNCH_GAME);
    EXPECT_EQ(1, window.gameStarts);
}

TEST_F(ForegroundFlowTest, FinishedLauncherUpdateTellsThenRestarts) {
    Report(ProgressLauncherUpdateFinished, nullptr);
    EXPECT_EQ(L"Launcher更新完成,正在重启Launcher...", StatusText());
    ASSERT_EQ(1u, window.questions.size());
    EXPECT_EQ(L"Launcher更新完成,准备重启Launcher!", window.questions[0].text);
    EXPECT_EQ(0u, window.questions[0].type);
    EXPECT_EQ(0, services.ends);

    // This test process has no ENTRANCE value: the restart reports the failure and ends.
    window.OnTimer(TIMER_RESTART);
    EXPECT_EQ(L"重启Launcher失败，参数错误", StatusText());
    ASSERT_EQ(2u, window.questions.size());
    EXPECT_EQ(L"重启Launcher失败，参数错误", window.questions[1].text);
    EXPECT_EQ(1, services.ends);
}

TEST_F(ForegroundFlowTest, RecordsForAVanishedWindowAreReleased) {
    window.DestroyWindow();
    // Nothing to post to: both function objects must neither crash nor post.
    window.OnNoticeReply(L"http://x/", NoticeResultSuccess, {L"a"});
    ResourceManagerUpdateProgressInfo info(1, 2);
    window.PostProgress(ProgressUpdateProgress, &info);
    EXPECT_EQ(0, ombrix::PumpPendingMessages());
}

}  // namespace
