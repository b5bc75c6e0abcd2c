# Precompiled headers: only third-party headers that most files include, so that a change to one
# of our own headers never rebuilds a whole library through its precompiled header.
option(VANTOREL_PCH "Precompile the heavy third-party headers" ON)

set(VANTOREL_PCH_CORE
  <algorithm> <array> <cmath> <cstdint> <exception> <functional> <limits> <memory> <optional>
  <string> <utility> <variant> <vector>
  <QByteArray> <QCoreApplication> <QDateTime> <QDir> <QFile> <QHash> <QList> <QObject> <QPointer>
  <QString> <QStringList> <QTimer> <QUuid>
  <QCoroTask>
  <nlohmann/json.hpp>)

set(VANTOREL_PCH_APP ${VANTOREL_PCH_CORE}
  <QAbstractButton> <QApplication> <QColor> <QEvent> <QFont> <QFontMetrics> <QGuiApplication>
  <QHBoxLayout> <QImage> <QLabel> <QPainter> <QPainterPath> <QPushButton> <QVBoxLayout> <QWidget>)

set(VANTOREL_PCH_TESTS ${VANTOREL_PCH_APP}
  <QSignalSpy> <QTemporaryDir> <QTest>
  <gmock/gmock.h> <gtest/gtest.h>)

function(vantorel_precompile target)
  if(VANTOREL_PCH)
    target_precompile_headers(${target} PRIVATE ${ARGN})
  endif()
endfunction()

# Test programs share the test support's precompiled header instead of building one each.
function(vantorel_precompile_reuse target from)
  if(VANTOREL_PCH)
    target_precompile_headers(${target} REUSE_FROM ${from})
  endif()
endfunction()
