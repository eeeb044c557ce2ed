// Phonebook to and from the host's CSV file, through the handset's phonebook file. Fields are
// bytes from end to end: a CSV in an 8-bit code page comes back out of the handset unchanged.
//
// Handset file /pim/phonebook.qpb (this model's own record format, little-endian):
//   "QPB1" | u16 record count | u16 record size (RECORD_SIZE) | records
//   record: u8 in use (1) | Name[32] | Mobile1[32] | Home[32] | Work[32] | E-Mail1[64] |
//           Mobile2[32] | E-Mail2[64]      (the CSV's bytes, NUL-padded, not NUL-terminated
//                                           when full)
//
//   read:  version → HELLO → read the file (none: an empty phonebook) → CSV written and read back
//          with the host's reader and compared → the page's list filled
//   write: CSV read (the host's reader; blank lines skipped, fields cut to their width on whole
//          characters) → records → version → HELLO → the old file saved (PB_BK beside the
//          plug-in) → /pim → file written, read back and compared
// Commas and line breaks cannot stand in a CSV field: they become ';' and ' ' and are counted.
// Whatever a write drops or cuts is counted in the status text.
#include "EfsCheck.h"
#include "Operations.h"
#include "WriteBackup.h"
#include "pages/CsvReader.h"
#include "plugin/ByteText.h"
#include "serial/DiagCodec.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace {

constexpr char PHONEBOOK_PATH[] = "/pim/phonebook.qpb";
constexpr int WIDTHS[CSV_COLUMNS] = {32, 32, 32, 32, 64, 32, 64};
constexpr int RECORD_SIZE = 1 + 32 + 32 + 32 + 32 + 64 + 32 + 64;
constexpr int MAX_ENTRIES = 1000;

using Row = QByteArrayList;

// The longest start of a field that fits width bytes and ends on a whole character: UTF-8
// characters when the field is UTF-8, else those of a double-byte code page such as CP949,
// where a byte of 0x81 or above starts a two-byte character (in a one-byte code page that may
// cost one byte that would still have fit).
QByteArray CutToWidth(const QByteArray& f, int width)
{
    if (f.size() <= width)
        return f;
    qsizetype end = 0;
    if (IsUtf8(f)) {
        end = width;
        while (end > 0 && (static_cast<quint8>(f[end]) & 0xC0) == 0x80)
            --end;
    } else {
        while (end < f.size()) {
            const qsizetype n = static_cast<quint8>(f[end]) >= 0x81 ? 2 : 1;
            if (end + n > width)
                break;
            end += n;
        }
    }
    return f.left(end);
}

struct SCuts
{
    int nNames = 0;
    int nOthers = 0;
};

QByteArray Encode(const QList<Row>& rows, SCuts& cuts)
{
    QByteArray out("QPB1");
    quint8 head[4];
    PutLe16(head, static_cast<quint16>(rows.size()));
    PutLe16(head + 2, RECORD_SIZE);
    out.append(reinterpret_cast<const char*>(head), 4);
    for (const Row& row : rows) {
        out.append('\1');
        for (int c = 0; c < CSV_COLUMNS; ++c) {
            const QByteArray f = row.value(c);
            const QByteArray fitted = CutToWidth(f, WIDTHS[c]);
            if (fitted.size() != f.size())
                ++(c == 0 ? cuts.nNames : cuts.nOthers);
            out.append(fitted.leftJustified(WIDTHS[c], '\0'));
        }
    }
    return out;
}

bool Decode(const QByteArray& file, QList<Row>& rows)
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
        Row row;
        for (int c = 0; c < CSV_COLUMNS; ++c) {
            const QByteArray f = file.mid(at, WIDTHS[c]);
            const qsizetype nul = f.indexOf('\0');
            row << (nul < 0 ? f : f.left(nul));
            at += WIDTHS[c];
        }
        rows.append(row);
    }
    return true;
}

// A field as the CSV can carry it; *changed counts what had to be replaced.
QByteArray CsvField(QByteArray f, int* changed)
{
    const QByteArray before = f;
    f.replace(',', ';');
    f.replace("\r\n", " ");
    f.replace('\r', ' ');
    f.replace('\n', ' ');
    // The reader trims blanks at both ends.
    qsizetype b = 0;
    qsizetype e = f.size();
    while (b < e && f[b] == ' ')
        ++b;
    while (e > b && f[e - 1] == ' ')
        --e;
    f = f.mid(b, e - b);
    if (f != before)
        ++*changed;
    return f;
}

// The file name line holds 255 bytes: a longer path keeps its end, where the file's name is.
QString FittedPath(const QString& path)
{
    constexpr qsizetype ROOM = sizeof(OperationResult::szFileName) - 1;
    const QString more = QStringLiteral("...");
    if (path.toLocal8Bit().size() <= ROOM)
        return path;
    QString tail = path;
    while (!tail.isEmpty() && (more + tail).toLocal8Bit().size() > ROOM)
        tail.remove(0, tail.size() >= 2 && tail.front().isHighSurrogate() ? 2 : 1);
    return more + tail;
}

QString Counted(int n, const char* one, const char* many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

} // namespace

bool RunPhonebookRead(CPluginJob& job, const QString& csvPath, QpxWindow* page, QpxList* list)
{
    job.FileName(FittedPath(csvPath));
    CDiagLink link;
    CEfs2Client efs(link);
    if (!ConnectFileSystem(job, link, efs))
        return false;
    job.Status(QStringLiteral("Reading the phonebook"));
    QByteArray file;
    qint32 err = 0;
    const CDiagLink::EOutcome r = efs.ReadFile(PHONEBOOK_PATH, file, err, [&job](qint64 n) {
        job.Progress(static_cast<int>(qMin<qint64>(60, 5 + n / 512)));
    });
    QList<Row> records;
    if (!(r == CDiagLink::OK && err == EFS_ENOENT)) {
        if (!EfsOk(job, link, r, err, QStringLiteral("phonebook")))
            return false;
        if (!Decode(file, records))
            return job.Fail(QStringLiteral("The handset's phonebook file is damaged."));
    }
    int changed = 0;
    QList<Row> rows;
    QByteArray csv;
    for (const Row& rec : records) {
        Row row;
        for (const QByteArray& f : rec)
            row << CsvField(f, &changed);
        if (IsBlankCsvRow(row))
            continue;
        rows << row;
        csv += row.join(',') + '\n';
    }
    QDir().mkpath(QFileInfo(csvPath).absolutePath());
    QSaveFile out(csvPath);
    if (!out.open(QIODevice::WriteOnly) || out.write(csv) != csv.size() || !out.commit())
        return job.Fail(QStringLiteral("The CSV file cannot be written: %1").arg(out.errorString()));
    // What the host will read from the file must be what the handset holds, byte for byte.
    QByteArray written;
    if (!ReadCsvFile(csvPath, written))
        return job.Fail(QStringLiteral("The CSV file written cannot be read back."));
    QList<Row> back = ParseCsvTable(written).rows;
    if (back.size() != rows.size())
        return job.Fail(QStringLiteral("The CSV file does not read back as written."));
    for (int i = 0; i < rows.size(); ++i) {
        while (back[i].size() < CSV_COLUMNS)
            back[i] << QByteArray();
        if (back[i] != rows[i])
            return job.Fail(
                QStringLiteral("The CSV file does not read back as written (entry %1).").arg(i + 1));
    }
    job.Progress(70);
    if (list != nullptr && page != nullptr && QPX_HAS_SERVICE(page->host, ListInsertRow)) {
        const QpxHostServices* h = page->host;
        h->ListDeleteAllRows(list);
        for (const Row& row : rows) {
            const int at = h->ListInsertRow(list, -1, row[0].constData());
            if (at < 0)
                return job.Fail(QStringLiteral("The phonebook list could not be filled."));
            for (int c = 1; c < CSV_COLUMNS; ++c)
                h->ListSetText(list, at, c, row[c].constData());
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
    job.FileName(FittedPath(csvPath));
    QByteArray bytes;
    if (!ReadCsvFile(csvPath, bytes))
        return job.Fail(QStringLiteral("The CSV file cannot be read; the handset was not touched."));
    switch (CheckCsvContent(bytes)) {
    case ECsvContent::NotText:
        return job.Fail(QStringLiteral("The CSV file is not text (it holds NUL bytes); the handset was not "
                                       "touched."));
    case ECsvContent::NoEntries:
        return job.Fail(QStringLiteral("The CSV file has no entries; the handset was not touched."));
    case ECsvContent::Entries:
        break;
    }
    const SCsvTable table = ParseCsvTable(bytes);
    QList<Row> rows;
    int blank = 0;
    for (const Row& row : table.rows) {
        if (IsBlankCsvRow(row))
            ++blank;
        else
            rows << row;
    }
    if (rows.size() > MAX_ENTRIES)
        return job.Fail(QStringLiteral("The CSV file has %1 entries; the handset holds at most %2.")
                            .arg(rows.size())
                            .arg(MAX_ENTRIES));
    SCuts cuts;
    const QByteArray file = Encode(rows, cuts);
    CDiagLink link;
    CEfs2Client efs(link);
    if (!ConnectFileSystem(job, link, efs))
        return false;
    // The handset's phonebook is kept before it is replaced; where it is leads the result texts.
    job.Status(QStringLiteral("Saving the handset's phonebook"));
    job.PutKeptFirst();
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
    QStringList changes;
    if (cuts.nNames > 0)
        changes << Counted(cuts.nNames, "name", "names") + QStringLiteral(" cut to fit");
    if (cuts.nOthers > 0)
        changes << Counted(cuts.nOthers, "other field", "other fields") + QStringLiteral(" cut to fit");
    if (table.nDroppedFields > 0)
        changes << Counted(table.nDroppedFields, "field", "fields") +
                       QStringLiteral(" after the seventh dropped");
    if (blank > 0)
        changes << Counted(blank, "blank line", "blank lines") + QStringLiteral(" skipped");
    QString status = QStringLiteral("Phonebook written: %1 entries").arg(rows.size());
    if (!changes.isEmpty())
        status += QStringLiteral("; ") + changes.join(QStringLiteral(", "));
    job.SetFinalStatus(status);
    return true;
}
