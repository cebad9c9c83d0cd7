#include <gtest/gtest.h>

#include <set>

#include "flow/DiskSpace.h"
#include "flow/PackageAddress.h"
#include "flow/ProgressReaction.h"
#include "flow/Tips.h"

namespace {

TEST(PackageAddress, EachRetryMovesAlongTheCodeList) {
    const std::vector<std::wstring> codes = {L"A", L"B", L"C"};
    const std::wstring url = L"http://cdn-A.example/A/list.txt";
    EXPECT_EQ(url, SelectPackageAddress(url, codes, 0));
    EXPECT_EQ(L"http://cdn-B.example/B/list.txt", SelectPackageAddress(url, codes, 1));
    EXPECT_EQ(L"http://cdn-C.example/C/list.txt", SelectPackageAddress(url, codes, 2));
    EXPECT_EQ(L"http://cdn-C.example/C/list.txt", SelectPackageAddress(url, codes, 7));
}

TEST(PackageAddress, NothingToReplaceLeavesTheAddress) {
    const std::wstring url = L"http://cdn.example/x/list.txt";
    EXPECT_EQ(url, SelectPackageAddress(url, {}, 3));
    EXPECT_EQ(url, SelectPackageAddress(url, {L"zz", L"yy"}, 1));
    EXPECT_EQ(url, SelectPackageAddress(url, {L"", L"yy"}, 1));
    // A replacement containing the code itself is not replaced again.
    EXPECT_EQ(L"http://h/xx/q/xx", SelectPackageAddress(L"http://h/x/q/x", {L"x", L"xx"}, 1));
}

TEST(ProgressReaction, StageTextsFractionsAndActions) {
    EXPECT_STREQ(L"开始校验本地资源...", ReactionToState(1).statusText);
    EXPECT_EQ(0.0f, ReactionToState(1).fraction);
    EXPECT_EQ(1.0f, ReactionToState(6).fraction);
    EXPECT_EQ(FlowAction::CheckDisk, ReactionToState(7).action);
    EXPECT_EQ(nullptr, ReactionToState(7).statusText);
    for (int state : {8, 9, 10, 14}) {
        EXPECT_EQ(FlowAction::RetryQuestion, ReactionToState(state).action) << state;
        EXPECT_EQ(1.0f, ReactionToState(state).fraction) << state;
    }
    EXPECT_EQ(FlowAction::RetryThenCache, ReactionToState(12).action);
    EXPECT_EQ(FlowAction::ConfirmRestart, ReactionToState(18).action);
    EXPECT_EQ(FlowAction::LaunchGame, ReactionToState(19).action);
    EXPECT_EQ(FlowAction::NoticeResult, ReactionToState(kNoticeResultState).action);
    EXPECT_EQ(FlowAction::CheckFiles, ReactionToState(21).action);
    EXPECT_EQ(nullptr, ReactionToState(21).statusText);
    for (int state : {0, 3, 4, 15, 16, 22}) {
        const ProgressReaction r = ReactionToState(state);
        EXPECT_EQ(nullptr, r.statusText) << state;
        EXPECT_LT(r.fraction, 0.0f) << state;
        EXPECT_EQ(FlowAction::None, r.action) << state;
    }
    for (int state = 0; state <= 21; ++state) {
        EXPECT_EQ(state == 11 || state == 13 || state == 17, IsDownloadingState(state));
    }
}

TEST(ProgressReaction, FailureTexts) {
    const int code = 476;
    EXPECT_EQ(L"加载服务器资源失败_Code:476", ResourceFailureText(&code));
    EXPECT_EQ(L"加载服务器资源失败_Code:999999", ResourceFailureText(nullptr));
    EXPECT_EQ(L"无法完成游戏资源更新，未配置更新地址!", NoticeFailureText(2));
    EXPECT_EQ(L"无法完成游戏资源更新，解析失败!", NoticeFailureText(3));
    EXPECT_EQ(L"无法完成游戏资源更新，请求失败!", NoticeFailureText(4));
    EXPECT_EQ(L"", NoticeFailureText(1));
    EXPECT_EQ(L"", NoticeFailureText(9));
    // The check's stage: share read so far, whole percent rounded down; nothing to read is done.
    const struct {
        int64_t checked, total;
        const wchar_t* text;
        float fraction;
    } checks[] = {{0, 1000, L"正在校验游戏文件...0%", 0.0f},
                  {999, 1000, L"正在校验游戏文件...99%", 0.999f},
                  {1000, 1000, L"正在校验游戏文件...100%", 1.0f},
                  {5000000000LL, 10000000000LL, L"正在校验游戏文件...50%", 0.5f},
                  {0, 0, L"正在校验游戏文件...100%", 1.0f}};
    for (const auto& check : checks) {
        EXPECT_EQ(check.text, CheckProgressText(check.checked, check.total)) << check.checked;
        EXPECT_FLOAT_EQ(check.fraction, CheckProgressFraction(check.checked, check.total));
    }
}

TEST(DiskSpace, DriveAndShortageText) {
    std::wstring drive = L"unchanged";
    EXPECT_FALSE(DriveOfRoot(L"relative", &drive));
    EXPECT_EQ(L"unchanged", drive);
    ASSERT_TRUE(DriveOfRoot(L"D:\\VEMO\\Ombrix\\", &drive));
    EXPECT_EQ(L"D:\\", drive);
    EXPECT_EQ(L"D:\\磁盘空间不足，无法完成此次更新，请确保释放出1 KB空间后继续",
              DiskShortageText(L"D:\\", 1001, 1000));
    EXPECT_EQ(L"C:\\磁盘空间不足，无法完成此次更新，请确保释放出1.50MB空间后继续",
              DiskShortageText(L"C:\\", 3 * 1048576LL, 3 * 1048576LL / 2));
}

TEST(Tips, SevenTipsAndARepeatableDraw) {
    std::vector<std::wstring> tips;
    AppendLauncherTips(&tips);
    ASSERT_EQ(7u, tips.size());
    EXPECT_EQ(L"上线即刻领取59式坦克\r\n战斗不止……碾压一切！！！", tips[6]);
    std::set<size_t> seen;
    for (unsigned seed = 1000; seed < 1100; ++seed) {
        const size_t index = PickTipIndex(tips.size(), seed);
        ASSERT_LT(index, tips.size());
        EXPECT_EQ(index, PickTipIndex(tips.size(), seed));
        seen.insert(index);
    }
    EXPECT_GT(seen.size(), 1u);
    EXPECT_EQ(0u, PickTipIndex(0, 5));
}

}  // namespace
