#pragma once

#include <QString>

#include <QCoroTask>

class QLineEdit;

namespace vantorel {

// Empties `field` once `save` answers that the secret it was given (`typed`) is stored, unless
// the user typed something else meanwhile. A refused or failed save keeps what was typed, so it
// can be corrected or saved again. Runs detached.
QCoro::Task<> clearSecretFieldOnceSaved(QCoro::Task<bool> save, QLineEdit* field, QString typed);

} // namespace vantorel
