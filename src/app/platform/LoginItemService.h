#pragma once

#include <QString>

#include <optional>
#include <stdexcept>

namespace vantorel {

// Registering or removing the login item failed; `message()` is the text shown to the user.
class LoginItemError : public std::runtime_error
{
public:
    explicit LoginItemError(QString message)
        : std::runtime_error(message.toStdString())
        , m_message(std::move(message))
    {
    }

    const QString& message() const { return m_message; }

private:
    QString m_message;
};

// Starting the application at login through the desktop's autostart entry
// `<autostart directory>/vantorel.desktop`. GUI thread; every call reads or writes the file.
class LoginItemService
{
public:
    enum class Status { notRegistered, enabled, requiresApproval, notFound };

    static inline const QString entryFileName = QStringLiteral("vantorel.desktop");
    // Entries are a few hundred bytes; a larger file is not ours.
    static constexpr qint64 maximumEntrySize = 65'536;

    // The entry in `autostartDirectory` that starts `executablePath`.
    LoginItemService(QString autostartDirectory, QString executablePath);
    // $XDG_CONFIG_HOME/autostart and this process's executable.
    static LoginItemService mainApp();

    // Enabled: the entry is there, starts this executable and the desktop's switch has not
    // turned it off (that reads as requiring approval). An entry of another executable reads as
    // not registered; this executable gone from disk as not found.
    Status status() const;
    // Writes the entry atomically. Throws LoginItemError.
    void registerApp() const;
    // Removes the entry. Throws LoginItemError.
    void unregisterApp() const;

    QString entryPath() const;

    // The Exec value naming `path`: quoted by the desktop-entry rules, then escaped for the key
    // file. None for a path no launcher accepts (one holding "%").
    static std::optional<QString> execValue(const QString& path);
    // The program of an Exec value as written in the file (key-file escapes included).
    static std::optional<QString> execProgram(const QString& value);

private:
    QString m_directory;
    QString m_executablePath;
};

} // namespace vantorel
