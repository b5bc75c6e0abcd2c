#pragma once

#include <QString>

namespace vantorel {

// What the window says, for a few seconds, when a button that hands something to another
// program found no program to take it.
struct OpenFailure
{
    enum class Kind {
        // A web page: no browser (no URL handler) took it.
        page,
        // A command: no terminal could be started.
        terminal,
        // A local file or folder: no file opener took it.
        file,
    };

    static constexpr double displaySeconds = 5;

    // "「Codex 状態」を開けませんでした。ブラウザが見つかりません。" and the like; `name` is the
    // button's own label.
    static QString message(Kind kind, const QString& name);
};

} // namespace vantorel
