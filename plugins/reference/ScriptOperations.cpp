// Service scripts: NV item writes from a text file, each verified.
//
//   # comment                      blank lines and lines starting with '#' are skipped
//   nv ITEM = HH HH HH ...         item (decimal or 0x...), then up to 128 data bytes in hex;
//                                  per-NAM items start with the NAM index byte
//
//   script parsed whole (a bad line stops before the handset is touched) → version → 41 SPC
//   → 29 01 00 → per line: 27, status 0, 26 and compare → 29 02 00
#include "Operations.h"

#include <QFile>
#include <QRegularExpression>

bool RunScript(CPluginJob& job, const QString& scriptPath)
{
    job.FileName(scriptPath);
    QFile f(scriptPath);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return job.Fail(QStringLiteral("The script %1 cannot be read: %2").arg(scriptPath, f.errorString()));
    struct SWrite
    {
        quint16 item;
        QByteArray data;
    };
    QList<SWrite> writes;
    static const QRegularExpression line(
        QStringLiteral("^nv\\s+(0x[0-9a-fA-F]+|\\d+)\\s*=\\s*((?:[0-9a-fA-F]{2}\\s*)*)$"));
    int lineNo = 0;
    while (!f.atEnd()) {
        ++lineNo;
        const QString text = QString::fromUtf8(f.readLine()).trimmed();
        if (text.isEmpty() || text.startsWith(QLatin1Char('#')))
            continue;
        const QRegularExpressionMatch m = line.match(text);
        bool ok = false;
        const QString itemText = m.captured(1);
        const uint item =
            itemText.startsWith(QLatin1String("0x")) ? itemText.mid(2).toUInt(&ok, 16) : itemText.toUInt(&ok);
        const QByteArray data = QByteArray::fromHex(m.captured(2).remove(QLatin1Char(' ')).toLatin1());
        if (!m.hasMatch() || !ok || item > 0xFFFF || data.size() > 128)
            return job.Fail(
                QStringLiteral("Line %1 of the script is not an item write: %2").arg(lineNo).arg(text));
        writes.append({static_cast<quint16>(item), data.leftJustified(128, '\0')});
    }
    if (writes.isEmpty())
        return job.Fail(QStringLiteral("The script %1 holds no item write.").arg(scriptPath));

    CDiagLink link;
    if (!job.Connect(link))
        return false;
    job.Status(QStringLiteral("Unlocking the handset"));
    if (!job.Unlock(link) || !job.Check(link.ModeChange(1), link, QStringLiteral("going offline")))
        return false;
    for (int i = 0; i < writes.size(); ++i) {
        const SWrite& w = writes[i];
        job.Status(QStringLiteral("Script: item %1 (%2 of %3)").arg(w.item).arg(i + 1).arg(writes.size()));
        quint16 st = 0;
        if (!job.Check(link.NvWrite(w.item, w.data, st), link, QStringLiteral("item %1").arg(w.item)))
            return false;
        if (st == 7)
            return job.Fail(QStringLiteral("The handset keeps item %1 read-only.").arg(w.item));
        if (st != 0)
            return job.Fail(
                QStringLiteral("The handset did not store item %1 (NV status %2).").arg(w.item).arg(st));
        QByteArray back;
        if (!job.Check(link.NvRead(w.item, static_cast<quint8>(w.data.at(0)), back, st), link,
                       QStringLiteral("item %1").arg(w.item)))
            return false;
        if (st != 0 || back != w.data)
            return job.Fail(
                QStringLiteral("Item %1 read back from the handset differs from the script.").arg(w.item));
        job.Progress(5 + 90 * (i + 1) / static_cast<int>(writes.size()));
    }
    job.Status(QStringLiteral("Restarting the handset"));
    if (!job.Check(link.ModeChange(2), link, QStringLiteral("restart")))
        return false;
    job.SetFinalStatus(QStringLiteral("Script: %1 items written and verified").arg(writes.size()));
    return true;
}
