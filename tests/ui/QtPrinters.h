// Readable Qt strings and characters in test failure messages.
#pragma once

#include <QChar>
#include <QPoint>
#include <QString>

#include <optional>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(QChar c, std::ostream* out) {
    *out << "U+" << std::hex << unsigned{c.unicode()} << std::dec << " '"
         << QString(c).toStdString() << "'";
}

inline void PrintTo(const QPoint& point, std::ostream* out) {
    *out << '(' << point.x() << ", " << point.y() << ')';
}
