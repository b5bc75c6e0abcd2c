#include "app/setup/MacOnboardingPage.h"

#include "core/model/PlatformWords.h"

namespace vantorel {

const QList<MacOnboardingPage>& MacOnboardingPage::all()
{
    static const QList<MacOnboardingPage> pages{
        {QStringLiteral("gauge.with.dots.needle.50percent"), QStringLiteral("Vantorelへようこそ"),
         QStringLiteral("CodexとClaudeの利用枠、回復予定、取得状態を一か所で確認できます。"),
         {
             {QStringLiteral("percent"), QStringLiteral("残量"),
              QStringLiteral("円ゲージは使った割合ではなく、これから使える残りの割合です。")},
             {QStringLiteral("calendar.badge.clock"), QStringLiteral("回復予定"),
              QStringLiteral("実際の日時を先に表示し、その下にリセットまでの時間を添えます。")},
             {QStringLiteral("clock.badge.checkmark"), QStringLiteral("鮮度"),
              QStringLiteral("残量の取得日時を基準に、新しい情報か最終値かを区別します。")},
         }},
        {QStringLiteral("switch.2"), QStringLiteral("表示するサービス"),
         QStringLiteral("CodexとClaudeは個別にON・OFFできます。使わないサービスは取得も表示も止められます。"),
         {
             {QStringLiteral("terminal"), QStringLiteral("Codex"),
              QStringLiteral("Codex CLIの保存済みログインを利用して、対応している利用枠だけを取得します。")},
             {QStringLiteral("sparkles"), QStringLiteral("Claude"),
              QStringLiteral("Claude Codeの保存済み認証を読み取り、資格情報そのものは同期しません。")},
             {QStringLiteral("lock.shield"), QStringLiteral("独立設定"),
              QStringLiteral("サービス表示、通知、iPhone表示は別設定です。案内を読むだけで設定は変更されません。")},
         }},
        {QStringLiteral("key"), QStringLiteral("認証と取得元"),
         QStringLiteral("このアプリは新しいアカウントを作らず、公式CLIで既に完了した認証を使います。"),
         {
             {QStringLiteral("person.badge.key"), QStringLiteral("初回認証"),
              QStringLiteral("CodexはCodex CLI、ClaudeはClaude Codeで一度ログインしてください。")},
             {QStringLiteral("arrow.triangle.2.circlepath"), QStringLiteral("Claude自動復旧"),
              QStringLiteral("明示的にONにした場合だけ、保存済み認証の再読込と必要時の公式ログイン開始を補助します。")},
             {QStringLiteral("hand.raised"), QStringLiteral("本人確認"),
              QStringLiteral("ブラウザで確認が必要な場面は自動承認せず、ご本人の操作を待ちます。")},
         }},
        {QStringLiteral("timer"), QStringLiteral("更新間隔"),
         QStringLiteral("このPCの取得、iPhoneの同期、ウィジェットの更新は別々の動作です。"),
         {
             {QStringLiteral("laptopcomputer"), PlatformWords::thisComputer,
              QStringLiteral("CodexとClaudeをまとめて設定するか、サービスごとに取得間隔を選べます。")},
             {QStringLiteral("iphone"), QStringLiteral("iPhone"),
              QStringLiteral("表示中は約30秒ごと、画面復帰時と手動操作時にもこのPCまたはiCloudを確認します。")},
             {QStringLiteral("rectangle.3.group"), QStringLiteral("ウィジェット"),
              QStringLiteral("最速設定でも更新要求の実行時刻はiOSが決定します。ホーム画面の更新ボタンでも再確認できます。")},
         }},
        {QStringLiteral("moon.zzz"), QStringLiteral("ロック中とスリープ中"),
         QStringLiteral("初期設定では、画面が消灯・ロックされてもこのPCでの取得・通知・同期フォルダへの保存を継続します。"),
         {
             {QStringLiteral("lock"), QStringLiteral("画面ロック"),
              QStringLiteral("ユーザーセッションが動いていれば、通常どおり取得と公開を続けます。")},
             {QStringLiteral("powersleep"), QStringLiteral("システムスリープ"),
              QStringLiteral("バックグラウンド監視がONの間は、操作がないことによる自動スリープを抑止します。"
                             "OFFにすると、このPCがスリープしている間は更新できません。")},
             {QStringLiteral("battery.100percent"), QStringLiteral("電力"),
              QStringLiteral("長時間持ち運ぶときは設定からOFFにすると、通常の省電力動作へ戻せます。")},
         }},
        {QStringLiteral("iphone.and.arrow.forward"), QStringLiteral("iPhoneとの同期"),
         QStringLiteral("同じネットワークではWi-Fi、外出先では許可済みのiCloudへ自動で切り替えられます。"),
         {
             {QStringLiteral("qrcode.viewfinder"), QStringLiteral("Wi-Fi登録"),
              QStringLiteral("このPCのQRコードをiPhoneで読み取り、このPCで承認します。")},
             {QStringLiteral("icloud"), QStringLiteral("iCloud"),
              QStringLiteral("両端末で明示的にONにします。このPCは同期フォルダへ保存し、iPhoneはその同期データを読みます。")},
             {QStringLiteral("arrow.left.arrow.right"), QStringLiteral("自動切替"),
              QStringLiteral("Wi-Fiの通常失敗時だけ、同じ送信元（このPC）の同期データを確認します。認証や登録エラーは隠しません。")},
         }},
        {QStringLiteral("bell.badge"), QStringLiteral("通知の違い"),
         QStringLiteral("観測した変化と、予定時刻のお知らせを区別して扱います。"),
         {
             {QStringLiteral("macbook"), QStringLiteral("このPC・Discord"),
              QStringLiteral("残量低下、実測リセット、早期回復、リセット券の付与・期限をこのPCが検知します。")},
             {QStringLiteral("iphone"), QStringLiteral("iPhone"),
              QStringLiteral("最後に同期した回復予定から単発通知を予約します。予定到来を実測リセットとは呼びません。")},
             {QStringLiteral("checkmark.message"), QStringLiteral("通知の送信状況"),
              QStringLiteral("検知、待機、受付確認、結果不明、取消を区別し、同じ通知の連続送信を抑えます。")},
         }},
        {QStringLiteral("chart.xyaxis.line"), QStringLiteral("表示と履歴"),
         QStringLiteral("必要な情報だけを選び、消費ペースを24時間・7日・30日で確認できます。"),
         {
             {QStringLiteral("menubar.rectangle"), PlatformWords::tray,
              QStringLiteral("5時間・週間の円と残量%の表示を調整できます。残量%の数字は大きなトレイでだけ表示され、アイコン/文字の選択はトレイがないときのパネルに反映されます。")},
             {QStringLiteral("chart.line.downtrend.xyaxis"), QStringLiteral("消費量"),
              QStringLiteral("同じ利用周期でつながる履歴から、何時間で何ポイント消費したかを表示します。")},
             {QStringLiteral("exclamationmark.triangle"), QStringLiteral("境界"),
              QStringLiteral("リセットや長い欠損をまたぐ値は合算せず、誤解を招く速度を作りません。")},
         }},
        {QStringLiteral("checkmark.seal"), QStringLiteral("準備を確認"),
         QStringLiteral("ここまでの案内では設定を変更していません。次の初回設定で、利用する機能を一つずつ選びます。"),
         {
             {QStringLiteral("1.circle"), QStringLiteral("サービス"),
              QStringLiteral("Codex・Claudeのうち、現在契約しているサービスをONにします。")},
             {QStringLiteral("2.circle"), QStringLiteral("同期"),
              QStringLiteral("iPhoneを使う場合はWi-Fi登録を行い、必要ならiCloudもONにします。")},
             {QStringLiteral("3.circle"), QStringLiteral("通知と表示"),
              QStringLiteral("通知先、更新間隔、トレイ表示を自分の使い方に合わせて選びます。")},
         }},
    };
    return pages;
}

} // namespace vantorel
