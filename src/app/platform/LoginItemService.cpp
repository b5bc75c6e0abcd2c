#include "app/platform/LoginItemService.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace vantorel {

namespace {

// Characters that make an Exec argument need double quotes.
const QString reservedCharacters = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");

QString keyFileEscaped(const QString& value)
{
    QString result;
    for (const QChar c : value) {
        if (c == u'\\')
            result += QStringLiteral("\\\\");
        else if (c == u'\n')
            result += QStringLiteral("\\n");
        else if (c == u'\t')
            result += QStringLiteral("\\t");
        else if (c == u'\r')
            result += QStringLiteral("\\r");
        else
            result += c;
    }
    return result;
}

QString keyFileUnescaped(const QString& value)
{
    QString result;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\' || i + 1 == value.size()) {
            result += value[i];
            continue;
        }
        const QChar next = value[++i];
        if (next == u's')
            result += u' ';
        else if (next == u'n')
            result += u'\n';
        else if (next == u't')
            result += u'\t';
        else if (next == u'r')
            result += u'\r';
        else
            result += next;
    }
    return result;
}

// The values of the [Desktop Entry] group, raw.
QHash<QString, QString> desktopEntry(const QByteArray& contents)
{
    QHash<QString, QString> values;
    bool inGroup = false;
    for (const QByteArray& rawLine : contents.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.startsWith(u'[')) {
            inGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inGroup || line.startsWith(u'#') || equals <= 0)
            continue;
        values.insert(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
    }
    return values;
}

bool sameFile(const QString& a, const QString& b)
{
    if (a == b)
        return true;
    const QString canonicalA = QFileInfo(a).canonicalFilePath();
    return !canonicalA.isEmpty() && canonicalA == QFileInfo(b).canonicalFilePath();
}

} // namespace

LoginItemService::LoginItemService(QString autostartDirectory, QString executablePath)
    : m_directory(std::move(autostartDirectory))
    , m_executablePath(std::move(executablePath))
{
}

LoginItemService LoginItemService::mainApp()
{
    return LoginItemService(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                                + QStringLiteral("/autostart"),
                            QCoreApplication::applicationFilePath());
}

QString LoginItemService::entryPath() const
{
    return m_directory + u'/' + entryFileName;
}

LoginItemService::Status LoginItemService::status() const
{
    QFile file(entryPath());
    if (!file.open(QIODevice::ReadOnly) || file.size() > maximumEntrySize)
        return Status::notRegistered;
    const auto values = desktopEntry(file.read(maximumEntrySize));
    const auto program = execProgram(values.value(QStringLiteral("Exec")));
    if (!program || !sameFile(*program, m_executablePath))
        return Status::notRegistered;
    if (!QFileInfo(m_executablePath).isExecutable())
        return Status::notFound;
    if (values.value(QStringLiteral("Hidden")) == QLatin1String("true")
        || values.value(QStringLiteral("X-GNOME-Autostart-enabled")) == QLatin1String("false"))
        return Status::requiresApproval;
    return Status::enabled;
}

void LoginItemService::registerApp() const
{
    const auto exec = execValue(m_executablePath);
    if (!exec)
        throw LoginItemError(QStringLiteral("実行ファイルのパスに「%」を含むため、ログイン時に起動できません。"));
    if (!QDir().mkpath(m_directory))
        throw LoginItemError(QStringLiteral("自動開始のフォルダを作成できません: ") + m_directory);
    QSaveFile file(entryPath());
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QStringLiteral("[Desktop Entry]\n"
                                  "Type=Application\n"
                                  "Name=Vantorel\n"
                                  "Exec=%1\n"
                                  "Terminal=false\n"
                                  "X-GNOME-Autostart-enabled=true\n")
                       .arg(*exec)
                       .toUtf8());
        if (file.commit())
            return;
    }
    throw LoginItemError(file.errorString());
}

void LoginItemService::unregisterApp() const
{
    QFile file(entryPath());
    if (file.exists() && !file.remove())
        throw LoginItemError(file.errorString());
}

std::optional<QString> LoginItemService::execValue(const QString& path)
{
    // A literal "%" has to be written "%%", and GLib's launchers still refuse it.
    if (path.contains(u'%'))
        return std::nullopt;
    const bool needsQuotes = std::any_of(path.begin(), path.end(), [](QChar c) { return reservedCharacters.contains(c); });
    if (!needsQuotes)
        return keyFileEscaped(path);
    QString quoted = QStringLiteral("\"");
    for (const QChar c : path) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    quoted += u'"';
    return keyFileEscaped(quoted);
}

std::optional<QString> LoginItemService::execProgram(const QString& value)
{
    const QString exec = keyFileUnescaped(value);
    QString program;
    qsizetype i = 0;
    if (exec.startsWith(u'"')) {
        for (i = 1; i < exec.size() && exec[i] != u'"'; ++i) {
            if (exec[i] == u'\\' && i + 1 < exec.size())
                ++i;
            program += exec[i];
        }
        if (i == exec.size())
            return std::nullopt;
    } else {
        program = exec.section(u' ', 0, 0);
    }
    if (program.isEmpty())
        return std::nullopt;
    return program;
}

} // namespace vantorel
