#pragma once
// Writing and reading the small files the window tests run on.

#include <QByteArray>
#include <QFile>
#include <QString>

namespace korvel::gui::testing {

inline bool WriteFile(const QString& path, const QByteArray& content) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
}

inline QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace korvel::gui::testing
