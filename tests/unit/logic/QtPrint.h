#pragma once
// Readable failure output for Qt texts in this test folder.
#include <QString>
#include <QStringList>
#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

inline void PrintTo(const QStringList& l, std::ostream* os)
{
    *os << '{';
    for (const QString& s : l)
        *os << '"' << s.toStdString() << "\" ";
    *os << '}';
}

inline void PrintTo(const QList<QStringList>& rows, std::ostream* os)
{
    for (const QStringList& r : rows)
        PrintTo(r, os);
}
