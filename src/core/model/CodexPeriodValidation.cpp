#include "core/model/CodexPeriodValidation.h"

namespace vantorel {

QString CodexPeriodValidation::unconfirmedMessage()
{
    return QStringLiteral("利用枠の形式を確認できません。次の正常な取得まで残量と予定を表示しません。");
}

} // namespace vantorel
