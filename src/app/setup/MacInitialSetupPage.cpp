#include "app/setup/MacInitialSetupPage.h"

#include "core/model/PlatformWords.h"

#include <algorithm>

namespace vantorel {

const QList<MacInitialSetupPage>& MacInitialSetupPage::all()
{
    static const QList<MacInitialSetupPage> pages{
        {QStringLiteral("switch.2"), QStringLiteral("利用するサービス"),
         QStringLiteral("契約中のサービスだけを選びます。OFFにしたサービスは、このPCでの取得と表示を停止します。")},
        {QStringLiteral("person.badge.key"), QStringLiteral("認証を確認"),
         QStringLiteral("公式CLIの保存済みログインを利用します。認証情報はiPhoneやiCloudへ送りません。")},
        {QStringLiteral("timer"), QStringLiteral("更新方法"),
         QStringLiteral("取得間隔と、画面消灯・ロック中の動作を決めます。短い間隔ほど通信と電力を使います。")},
        {QStringLiteral("bell.badge"), QStringLiteral("通知"),
         QStringLiteral("デスクトップ通知とDiscord通知を選びます。予定時刻と実際に観測したリセットは区別されます。")},
        {QStringLiteral("iphone.and.arrow.forward"), QStringLiteral("iPhone連携"),
         QStringLiteral("同じネットワークのWi-Fi連携と、外出先でも使えるiCloud同期を選びます。")},
        {QStringLiteral("menubar.rectangle"), PlatformWords::tray,
         QStringLiteral("サービスの識別方法と、5時間枠・週間枠・残り%の表示を調整します。")},
        {QStringLiteral("checkmark.seal"), QStringLiteral("設定内容を確認"),
         QStringLiteral("ここで確定するまで、現在の設定は変更されません。内容を確認して開始してください。")},
    };
    return pages;
}

MacInitialSetupFrame MacInitialSetupFrame::forStep(std::int64_t currentStep)
{
    MacInitialSetupFrame frame;
    frame.index = std::clamp<std::int64_t>(currentStep, 0, MacInitialSetupPage::reviewStep);
    frame.counterText = QStringLiteral("%1 / %2").arg(frame.index + 1).arg(MacInitialSetupPage::stepCount);
    frame.backEnabled = currentStep >= 1;
    frame.forwardApplies = currentStep >= MacInitialSetupPage::reviewStep;
    if (frame.forwardApplies) {
        frame.forwardTitle = QStringLiteral("この設定で開始");
        frame.forwardSymbol = QStringLiteral("checkmark");
        frame.forwardObjectName = QStringLiteral("initial-setup.apply");
    } else {
        frame.forwardTitle = QStringLiteral("次へ");
        frame.forwardSymbol = QStringLiteral("chevron.right");
        frame.forwardObjectName = QStringLiteral("initial-setup.next");
    }
    if (currentStep == 5)
        frame.contentSpacing = 12;
    else if (frame.forwardApplies)
        frame.contentSpacing = 11;
    return frame;
}

} // namespace vantorel
