#include "PathRules.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <iterator>

QString NearestExistingFolder(const QString& text)
{
    if (text.isEmpty())
        return {};
    if (QFileInfo::exists(text))
        return text;
    QString cut = text;
    for (;;) {
        const qsizetype slash = cut.lastIndexOf(QLatin1Char('/'));
        if (slash < 0)
            return {};
        cut = slash == 0 ? QStringLiteral("/") : cut.left(slash);
        if (QFileInfo::exists(cut))
            return cut;
        if (slash == 0)
            return {};
    }
}

bool IsValidFolderPath(const QString& path)
{
    if (!path.startsWith(QLatin1Char('/')))
        return false;
    if (path.size() == 1)
        return true;
    const QStringList names = path.mid(1).split(QLatin1Char('/'));
    static const QString kForbidden = QStringLiteral("\"*:<>?\\|");
    for (const QString& name : names) {
        if (name.isEmpty()) // a double "/" or a trailing "/"
            return false;
        for (const QChar edge : {name.front(), name.back()})
            if (edge == QLatin1Char(' ') || edge == QLatin1Char('\t') || edge == QLatin1Char('.'))
                return false;
        for (const QChar c : name)
            if (kForbidden.contains(c))
                return false;
    }
    return true;
}

bool CreateFolderLevels(const QString& path)
{
    if (!path.startsWith(QLatin1Char('/')))
        return false;
    QString level;
    const QStringList names = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& name : names) {
        level += QLatin1Char('/') + name;
        if (!QFileInfo(level).isDir())
            QDir().mkdir(level);
        if (!QFileInfo(level).isDir())
            return false;
    }
    return true;
}

QString PrlReadFileName(int nam)
{
    static const char* const NAMES[] = {"/nam1_prl_0000.prl", "/nam2_prl_0001.prl", "/nam?_prl_000#.prl"};
    return nam >= 0 && nam < static_cast<int>(std::size(NAMES)) ? QString::fromLatin1(NAMES[nam]) : QString();
}

QString EriReadFileName()
{
    return QStringLiteral("/eri.bin");
}

QStringList ReadTargetFiles(const QString& fileArgument)
{
    if (!fileArgument.contains(QLatin1Char('?')) || !fileArgument.contains(QLatin1Char('#')))
        return {fileArgument};
    QStringList files;
    for (int nam = 0; nam < 2; ++nam) {
        QString name = fileArgument;
        files << name.replace(QLatin1Char('?'), QString::number(nam + 1))
                     .replace(QLatin1Char('#'), QString::number(nam));
    }
    return files;
}
