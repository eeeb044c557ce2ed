// Phonebook to and from the host's CSV file, through the handset's phonebook file.
//
// Handset file /pim/phonebook.qpb (this model's own record format, little-endian):
//   "QPB1" | u16 record count | u16 record size (RECORD_SIZE) | records
//   record: u8 in use (1) | Name[32] | Mobile1[32] | Home[32] | Work[32] | E-Mail1[64] |
//           Mobile2[32] | E-Mail2[64]      (UTF-8, NUL-padded, not NUL-terminated when full)
//
//   read:  version → HELLO → read the file (none: an empty phonebook) → CSV written and read back
//          with the host's reader and compared → the page's list filled
//   write: CSV read (the host's reader) → records → version → HELLO → the old file saved
//          (PB_BK beside the plug-in) → /pim → file written, read back and compared
// Commas and line breaks cannot stand in a CSV field: they become ';' and ' ' and are counted.
#include "EfsCheck.h"
#include "Operations.h"
#include "WriteBackup.h"
#include "pages/CsvReader.h"
#include "serial/DiagCodec.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace {

constexpr char PHONEBOOK_PATH[] = "/pim/phonebook.qpb";
constexpr int WIDTHS[CSV_COLUMNS] = {32, 32, 32, 32, 64, 32, 64};
constexpr int RECORD_SIZE = 1 + 32 + 32 + 32 + 32 + 64 + 32 + 64;
constexpr int MAX_ENTRIES = 1000;

QByteArray Encode(const QList<QStringList>& rows, int* cut)
{
    QByteArray out("QPB1");
    quint8 head[4];
    PutLe16(head, static_cast<quint16>(rows.size()));
    PutLe16(head + 2, RECORD_SIZE);
    out.append(reinterpret_cast<const char*>(head), 4);
    for (const QStringList& row : rows) {
        out.append('\1');
        for (int c = 0; c < CSV_COLUMNS; ++c) {
            QByteArray f = c < row.size() ? row[c].toUtf8() : QByteArray();
            if (f.size() > WIDTHS[c]) {
                ++*cut;
                f.truncate(WIDTHS[c]);
                while (!f.isEmpty() && (static_cast<quint8>(f.back()) & 0xC0) == 0x80)
                    f.chop(1); // never half a character
                if (!f.isEmpty() && static_cast<quint8>(f.back()) >= 0xC0)
                    f.chop(1);
            }
            out.append(f.leftJustified(WIDTHS[c], '\0'));
        }
    }
    return out;
}

bool Decode(const QByteArray& file, QList<QStringList>& rows)
{
    if (file.size() < 8 || !file.startsWith("QPB1"))
        return false;
    const auto* p = reinterpret_cast<const quint8*>(file.constData());
    const int count = GetLe16(p + 4);
    if (GetLe16(p + 6) != RECORD_SIZE || file.size() < 8 + qint64(count) * RECORD_SIZE)
        return false;
    for (int r = 0; r < count; ++r) {
        int at = 8 + r * RECORD_SIZE;
        if (file.at(at) != 1)
            continue;
        ++at;
        QStringList row;
        for (int c = 0; c < CSV_COLUMNS; ++c) {
            const QByteArray f = file.mid(at, WIDTHS[c]);
            const int nul = static_cast<int>(f.indexOf('\0'));
            row << QString::fromUtf8(nul < 0 ? f : f.left(nul));
            at += WIDTHS[c];
        }
        rows.append(row);
    }
    return true;
}

// A field as the CSV can carry it; *changed counts what had to be replaced.
QString CsvField(QString f, int* changed)
{
    const QString before = f;
    f.replace(QLatin1Char(','), QLatin1Char(';'));
    f.replace(QLatin1String("\r\n"), QLatin1String(" "));
    f.replace(QLatin1Char('\r'), QLatin1Char(' '));
    f.replace(QLatin1Char('\n'), QLatin1Char(' '));
    // The reader trims blanks at both ends.
    while (f.startsWith(QLatin1Char(' ')))
        f.remove(0, 1);
    while (f.endsWith(QLatin1Char(' ')))
        f.chop(1);
    if (f != before)
        ++*changed;
    return f;
}

} // namespace

bool RunPhonebookRead(CPluginJob& job, const QString& csvPath, QpxWindow* page, QpxList* list)
{
    job.FileName(csvPath);
    CDiagLink link;
    if (!job.Connect(link))
        return false;
    CEfs2Client efs(link);
    if (!job.Check(efs.Hello(), link, QStringLiteral("file system")))
        return false;
    job.Status(QStringLiteral("Reading the phonebook"));
    QByteArray file;
    qint32 err = 0;
    const CDiagLink::EOutcome r = efs.ReadFile(PHONEBOOK_PATH, file, err, [&job](qint64 n) {
        job.Progress(static_cast<int>(qMin<qint64>(60, 5 + n / 512)));
    });
    QList<QStringList> records;
    if (!(r == CDiagLink::OK && err == CEfs2Client::ENOENT_)) {
        if (!EfsOk(job, link, r, err, QStringLiteral("phonebook")))
            return false;
        if (!Decode(file, records))
            return job.Fail(QStringLiteral("The handset's phonebook file is damaged."));
    }
    int changed = 0;
    QList<QStringList> rows;
    QByteArray csv;
    for (const QStringList& rec : records) {
        QStringList row;
        for (const QString& f : rec)
            row << CsvField(f, &changed);
        if (row.join(QString()).isEmpty())
            continue;
        rows << row;
        csv += row.join(QLatin1Char(',')).toUtf8() + '\n';
    }
    QDir().mkpath(QFileInfo(csvPath).absolutePath());
    QSaveFile out(csvPath);
    if (!out.open(QIODevice::WriteOnly) || out.write(csv) != csv.size() || !out.commit())
        return job.Fail(QStringLiteral("The file %1 cannot be written: %2").arg(csvPath, out.errorString()));
    // What the host will read from the file must be what the handset holds.
    QList<QStringList> back;
    if (!ReadCsvRows(csvPath, back) || back.size() != rows.size())
        return job.Fail(QStringLiteral("The CSV file %1 does not read back as written.").arg(csvPath));
    for (int i = 0; i < rows.size(); ++i) {
        QStringList b = back[i];
        while (b.size() < CSV_COLUMNS)
            b << QString();
        if (b != rows[i])
            return job.Fail(QStringLiteral("The CSV file %1 does not read back as written (entry %2).")
                                .arg(csvPath)
                                .arg(i + 1));
    }
    job.Progress(70);
    if (list != nullptr && page != nullptr && QPX_HAS_SERVICE(page->host, ListInsertRow)) {
        const QpxHostServices* h = page->host;
        h->ListDeleteAllRows(list);
        for (const QStringList& row : rows) {
            const int at = h->ListInsertRow(list, -1, row[0].toUtf8().constData());
            if (at < 0)
                return job.Fail(QStringLiteral("The phonebook list could not be filled."));
            for (int c = 1; c < CSV_COLUMNS; ++c)
                h->ListSetText(list, at, c, row[c].toUtf8().constData());
        }
    }
    QString status = QStringLiteral("Phonebook read: %1 entries").arg(rows.size());
    if (changed > 0)
        status += QStringLiteral("; %1 fields had commas, line breaks or outer blanks replaced").arg(changed);
    job.SetFinalStatus(status);
    return true;
}

bool RunPhonebookWrite(CPluginJob& job, const QString& csvPath)
{
    job.FileName(csvPath);
    QList<QStringList> rows;
    if (!ReadCsvRows(csvPath, rows))
        return job.Fail(QStringLiteral("The CSV file %1 cannot be read.").arg(csvPath));
    if (rows.size() > MAX_ENTRIES)
        return job.Fail(QStringLiteral("The CSV file has %1 entries; the handset holds at most %2.")
                            .arg(rows.size())
                            .arg(MAX_ENTRIES));
    int cut = 0;
    const QByteArray file = Encode(rows, &cut);
    CDiagLink link;
    if (!job.Connect(link))
        return false;
    CEfs2Client efs(link);
    if (!job.Check(efs.Hello(), link, QStringLiteral("file system")))
        return false;
    // The handset's phonebook is kept before it is replaced.
    job.Status(QStringLiteral("Saving the handset's phonebook"));
    CWriteBackup backup(job, QStringLiteral("PB_BK"));
    if (!backup.AddHandsetFile(efs, PHONEBOOK_PATH, QStringLiteral("phonebook.qpb")) || !backup.Finish())
        return false;
    job.Status(QStringLiteral("Writing the phonebook"));
    const auto progress = [&job, &file](int from, int span) {
        return [&job, &file, from, span](qint64 n) {
            job.Progress(from + static_cast<int>(span * n / qMax<qint64>(1, file.size())));
        };
    };
    if (!WriteFileVerified(
            job, efs, PHONEBOOK_PATH, file, QStringLiteral("phonebook"),
            QStringLiteral("The phonebook read back from the handset differs from what was written."),
            progress(5, 60), progress(65, 30)))
        return false;
    QString status = QStringLiteral("Phonebook written: %1 entries").arg(rows.size());
    if (cut > 0)
        status += QStringLiteral("; %1 fields were too long and were shortened").arg(cut);
    job.SetFinalStatus(status);
    return true;
}
