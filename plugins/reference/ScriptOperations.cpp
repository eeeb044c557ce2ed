// Service scripts: NV item writes and handset file operations from a text file, each verified.
//
//   # comment                      blank lines and lines starting with '#' are skipped
//   nv ITEM = HH HH HH ...         item (decimal or 0x...), then up to 128 data bytes in hex;
//                                  per-NAM items start with the NAM index byte
//   mkdir /PATH                    a folder on the handset (missing parents too)
//   put /PATH = HOSTFILE           a host file (relative to the script's folder) written to PATH
//   delete /PATH                   a handset file removed (an absent file is no error)
//
//   script parsed whole, host files read (a bad line stops before the handset is touched)
//   → version → [HELLO] → everything the script replaces saved in SCRIPT_BK → 41 SPC
//   → 29 01 00 → per line: do it, then check it (26 and compare; STAT; read back and compare;
//   STAT gives "no such file") → 29 02 00
#include "EfsCheck.h"
#include "Operations.h"
#include "WriteBackup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

namespace {

enum EAction
{
    A_NV,
    A_MKDIR,
    A_PUT,
    A_DELETE
};

struct SLine
{
    EAction action = A_NV;
    int lineNo = 0;
    quint16 item = 0;
    QByteArray data; // NV data (128 bytes) or the file to put
    QByteArray path; // handset path
};

constexpr qint64 MAX_PUT_SIZE = 4 * 1024 * 1024;

// An absolute handset path without "." or ".." parts, empty parts or characters outside ASCII.
bool HandsetPath(const QString& text, QByteArray& path)
{
    if (!text.startsWith(QLatin1Char('/')) || text.size() > 255)
        return false;
    const QStringList parts = text.mid(1).split(QLatin1Char('/'));
    for (const QString& p : parts)
        if (p.isEmpty() || p == QLatin1String(".") || p == QLatin1String(".."))
            return false;
    for (const QChar c : text)
        if (c.unicode() < 0x21 || c.unicode() > 0x7E)
            return false;
    path = text.toLatin1();
    return true;
}

// The whole script, or false (and the job's failure) for the first line that is not understood.
bool Parse(CPluginJob& job, const QString& scriptPath, QList<SLine>& lines)
{
    QFile f(scriptPath);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return job.Fail(QStringLiteral("The script %1 cannot be read: %2").arg(scriptPath, f.errorString()));
    static const QRegularExpression nvLine(
        QStringLiteral("^nv\\s+(0x[0-9a-fA-F]+|\\d+)\\s*=\\s*((?:[0-9a-fA-F]{2}\\s*)*)$"));
    static const QRegularExpression fileLine(QStringLiteral("^(mkdir|delete)\\s+(\\S+)$"));
    static const QRegularExpression putLine(QStringLiteral("^put\\s+(\\S+)\\s*=\\s*(.+)$"));
    const QDir scriptDir = QFileInfo(scriptPath).absoluteDir();
    int lineNo = 0;
    while (!f.atEnd()) {
        ++lineNo;
        const QString text = QString::fromUtf8(f.readLine()).trimmed();
        if (text.isEmpty() || text.startsWith(QLatin1Char('#')))
            continue;
        const auto bad = [&job, lineNo, &text](const QString& why) {
            return job.Fail(QStringLiteral("Line %1 of the script %2: %3").arg(lineNo).arg(why, text));
        };
        SLine l;
        l.lineNo = lineNo;
        if (const QRegularExpressionMatch m = nvLine.match(text); m.hasMatch()) {
            bool ok = false;
            const QString itemText = m.captured(1);
            const uint item = itemText.startsWith(QLatin1String("0x")) ? itemText.mid(2).toUInt(&ok, 16)
                                                                       : itemText.toUInt(&ok);
            const QByteArray data = QByteArray::fromHex(m.captured(2).remove(QLatin1Char(' ')).toLatin1());
            if (!ok || item > 0xFFFF || data.size() > 128)
                return bad(QStringLiteral("is not an item write:"));
            l.action = A_NV;
            l.item = static_cast<quint16>(item);
            l.data = data.leftJustified(128, '\0');
        } else if (const QRegularExpressionMatch m2 = fileLine.match(text); m2.hasMatch()) {
            l.action = m2.captured(1) == QLatin1String("mkdir") ? A_MKDIR : A_DELETE;
            if (!HandsetPath(m2.captured(2), l.path))
                return bad(QStringLiteral("names no plain absolute handset path:"));
        } else if (const QRegularExpressionMatch m3 = putLine.match(text); m3.hasMatch()) {
            l.action = A_PUT;
            if (!HandsetPath(m3.captured(1), l.path))
                return bad(QStringLiteral("names no plain absolute handset path:"));
            const QString host = scriptDir.absoluteFilePath(m3.captured(2).trimmed());
            QFile in(host);
            if (!in.open(QIODevice::ReadOnly))
                return bad(QStringLiteral("the file %1 cannot be read:").arg(host));
            if (in.size() > MAX_PUT_SIZE)
                return bad(
                    QStringLiteral("the file %1 is larger than %2 bytes:").arg(host).arg(MAX_PUT_SIZE));
            l.data = in.readAll();
        } else {
            return bad(QStringLiteral("is not an item write or a file operation:"));
        }
        lines.append(l);
    }
    if (lines.isEmpty())
        return job.Fail(
            QStringLiteral("The script %1 holds no item write or file operation.").arg(scriptPath));
    return true;
}

// Saves what the script is about to replace: each item (first data byte = the NAM index of
// per-NAM items) and each file put or deleted, once, as the handset has it now.
bool SaveOriginals(CDiagLink& link, CEfs2Client* efs, const QList<SLine>& lines, CWriteBackup& backup)
{
    QSet<QString> saved;
    for (const SLine& l : lines) {
        QString name;
        if (l.action == A_NV)
            name = QStringLiteral("nv/%1-%2.bin").arg(l.item).arg(static_cast<quint8>(l.data.at(0)));
        else if (l.action == A_PUT || l.action == A_DELETE)
            name = QStringLiteral("files") + QString::fromLatin1(l.path);
        if (name.isEmpty() || saved.contains(name))
            continue;
        saved.insert(name);
        const bool kept = l.action == A_NV
                              ? backup.AddItem(link, l.item, static_cast<quint8>(l.data.at(0)), name)
                              : backup.AddHandsetFile(*efs, l.path, name);
        if (!kept)
            return false;
    }
    return backup.Finish();
}

bool RunLine(CPluginJob& job, CDiagLink& link, CEfs2Client* efs, const SLine& l)
{
    const QString path = QString::fromLatin1(l.path);
    qint32 err = 0, mode = 0, size = 0;
    switch (l.action) {
    case A_NV: {
        quint16 st = 0;
        if (!job.Check(link.NvWrite(l.item, l.data, st), link, QStringLiteral("item %1").arg(l.item)))
            return false;
        if (st == 7)
            return job.Fail(QStringLiteral("The handset keeps item %1 read-only.").arg(l.item));
        if (st != 0)
            return job.Fail(
                QStringLiteral("The handset did not store item %1 (NV status %2).").arg(l.item).arg(st));
        QByteArray back;
        if (!job.Check(link.NvRead(l.item, static_cast<quint8>(l.data.at(0)), back, st), link,
                       QStringLiteral("item %1").arg(l.item)))
            return false;
        if (st != 0 || back != l.data)
            return job.Fail(
                QStringLiteral("Item %1 read back from the handset differs from the script.").arg(l.item));
        return true;
    }
    case A_MKDIR:
        if (!EfsOk(job, link, efs->MakePath(l.path, err), err, path) ||
            !EfsOk(job, link, efs->Stat(l.path, mode, size, err), err, path))
            return false;
        if ((mode & EFS2_S_IFMT) != EFS2_S_IFDIR)
            return job.Fail(QStringLiteral("%1 on the handset is a file, not a folder.").arg(path));
        return true;
    case A_PUT: {
        return WriteFileVerified(
            job, *efs, l.path, l.data, path,
            QStringLiteral("%1 read back from the handset differs from the script's file.").arg(path));
    }
    case A_DELETE: {
        CDiagLink::EOutcome r = efs->Unlink(l.path, err);
        if (!(r == CDiagLink::OK && err == EFS_ENOENT) && !EfsOk(job, link, r, err, path))
            return false;
        r = efs->Stat(l.path, mode, size, err);
        if (!job.Check(r, link, path))
            return false;
        if (err != EFS_ENOENT)
            return job.Fail(QStringLiteral("%1 is still on the handset after it was deleted.").arg(path));
        return true;
    }
    }
    return false;
}

} // namespace

bool RunScript(CPluginJob& job, const QString& scriptPath)
{
    job.FileName(scriptPath);
    QList<SLine> lines;
    if (!Parse(job, scriptPath, lines))
        return false;
    int items = 0;
    for (const SLine& l : lines)
        items += l.action == A_NV ? 1 : 0;
    const int fileOps = static_cast<int>(lines.size()) - items;

    CDiagLink link;
    if (!job.Connect(link))
        return false;
    CEfs2Client efsClient(link);
    CEfs2Client* efs = nullptr;
    if (fileOps > 0) {
        if (!GreetFileSystem(job, link, efsClient))
            return false;
        efs = &efsClient;
    }
    job.Status(QStringLiteral("Saving what the script replaces"));
    CWriteBackup backup(job, QStringLiteral("SCRIPT_BK"));
    if (!SaveOriginals(link, efs, lines, backup))
        return false;

    job.Status(QStringLiteral("Unlocking the handset"));
    if (!job.Unlock(link) || !job.Check(link.ModeChange(MODE_OFFLINE), link, QStringLiteral("going offline")))
        return false;
    if (efs != nullptr && !GreetFileSystem(job, link, *efs))
        return false;
    for (int i = 0; i < lines.size(); ++i) {
        const SLine& l = lines[i];
        job.Status(l.action == A_NV
                       ? QStringLiteral("Script: item %1 (%2 of %3)").arg(l.item).arg(i + 1).arg(lines.size())
                       : QStringLiteral("Script: %1 (%2 of %3)")
                             .arg(QString::fromLatin1(l.path))
                             .arg(i + 1)
                             .arg(lines.size()));
        if (!RunLine(job, link, efs, l))
            return false;
        job.Progress(5 + 90 * (i + 1) / static_cast<int>(lines.size()));
    }
    job.Status(QStringLiteral("Restarting the handset"));
    if (!job.Check(link.ModeChange(MODE_RESET), link, QStringLiteral("restart")))
        return false;
    QString done = QStringLiteral("Script: %1 items").arg(items);
    if (fileOps > 0)
        done += QStringLiteral(" and %1 file operations").arg(fileOps);
    job.SetFinalStatus(done + QStringLiteral(" written and verified"));
    return true;
}
