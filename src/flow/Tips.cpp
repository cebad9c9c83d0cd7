#include "flow/Tips.h"

#include <cstdlib>

const wchar_t kSlowDownloadHint[] = L"下载提示:\r\n当前下载进度缓慢,可手动关闭此窗口后再试！";

void AppendLauncherTips(std::vector<std::wstring>* tips) {
    static const wchar_t* const kTips[] = {
        L"全3D特效！真实展现战争场景！\r\n端游的视觉和玩法！上线送59式坦克！",
        L"陆战无双 全新3D军武巨作\r\n钢铁与钢铁的碰撞 体验纯爷们的游戏！",
        L"全景地图 还原现代战争 运筹帷幄 抢战属于你的疆土！首充钜惠 立即体验真实战场！",
        L"全面战争，纵横天地的立体战争\r\n         满足你对战争的一切想象！",
        L"战斗！轰鸣！\r\nStalbrand，战斗不止！在炮火中重生……",
        L"体验真实战场！\r\n超级首充 特殊坦克助力新司机！",
        L"上线即刻领取59式坦克\r\n战斗不止……碾压一切！！！",
    };
    for (const wchar_t* tip : kTips) tips->push_back(tip);
}

size_t PickTipIndex(size_t count, unsigned seed) {
    if (count == 0) return 0;
    std::srand(seed);
    return static_cast<size_t>(std::rand()) % count;
}
