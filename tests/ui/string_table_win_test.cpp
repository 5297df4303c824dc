#include "base/gbk_text.h"
#include "dialog_probe_win.h"
#include "ui/res/resource.h"

#include <gtest/gtest.h>

namespace {

// The texts the dialogs show, as the program carries them: written here
// once, in UTF-8, and compared with the string table compiled from GBK.
TEST(StringTableTest, HoldsTheDialogsTexts) {
    const std::pair<UINT, const char*> texts[] = {
        {IDS_UPDATE_TITLE, "在线更新"},
        {IDS_NOTIFY_TITLE, "HALVO管家升级通知"},
        {IDS_UP_TO_DATE, "您安装的HALVO管家已经是最新版本！"},
        {IDS_UPGRADE_STARTED, "软件更新后会自动启用新版本！"},
        {IDS_CONNECTION_FAILED, "无法与服务器建立连接,请稍候重试！"},
        {IDS_UPDATE_FAILED, "更新过程出现错误,请稍候重试！"},
    };
    for (const auto& [id, utf8] : texts) EXPECT_EQ(ResourceText(id), Utf8ToGbk(utf8)) << utf8;
}

}  // namespace
