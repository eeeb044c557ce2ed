// Settings by category: catalogue rows mapped to NV items (the row names of the settings grid).
//
//   read:  version → 26 per item (NAM index in data byte 0 for the NAM categories) → PARAMETER1
//          (and PARAMETER2 for SID/NID pairs) → an editor per mapped row
//   write: cells parsed first (a bad value stops before the handset is touched) → version
//          → 41 SPC → 29 01 00 → per item: 26 (keep the bytes the rows do not cover), patch,
//          27, 26 again and compare → 29 02 00
// Rows without a known item stay empty and are counted in the status text.
#include "Operations.h"
#include "pages/NvCatalogue.h"
#include "serial/DiagCodec.h"

#include <QMap>

#include <vector>

namespace {

enum EKind
{
    K_U8,
    K_U16,
    K_U32,
    K_TEXT,   // ASCII, NUL-padded, width bytes
    K_DIGITS, // ASCII digits, width bytes
    K_SIDNID, // u16 SID in PARAMETER1, u16 NID in PARAMETER2
    K_IPV4    // four bytes, first octet first, shown "a.b.c.d"
};

struct SRow
{
    const char* name;
    quint16 item;
    int offset; // data byte (after the NAM byte for NAM items)
    EKind kind;
    int width;         // text width; for numbers a second copy at offset + width when copy is set
    bool copy;         // analog + CDMA copies: shown from the CDMA copy, both written
    const char* combo; // '|'-separated choices (the value is the index), or nullptr
};

// Offsets are counted after the NAM byte in the NAM categories.
const SRow GENERAL[] = {
    {"SCM", 4, 0, K_U8, 1, false, nullptr},
    {"Voice Privacy", 179, 0, K_U8, 1, false, "Standard|Enhanced"},
    {"Slot Cycle Index", 5, 0, K_U8, 1, false, "0|1|2|3|4|5|6|7"},
};
const SRow NAM[] = {
    {"NAM Name", 43, 0, K_TEXT, 12, false, nullptr},
    {"MDN", 178, 0, K_DIGITS, 10, false, nullptr},
    {"CDMA Home SID/NID", 259, 0, K_SIDNID, 4, false, nullptr},
    {"CDMA Negative SID/NID", 255, 0, K_SIDNID, 4, false, nullptr},
    {"MIN1", 32, 0, K_U32, 4, true, nullptr},
    {"MIN2", 33, 0, K_U16, 2, true, nullptr},
    {"MCC", 176, 0, K_U16, 2, false, nullptr},
    {"MNC", 177, 0, K_U8, 1, false, nullptr},
    {"Primary CDMA Ch, A band", 20, 0, K_U16, 2, false, nullptr},
    {"Secondary CDMA Ch, A band", 21, 0, K_U16, 2, false, nullptr},
    {"Primary CDMA Ch, B band", 20, 2, K_U16, 2, false, nullptr},
    {"Secondary CDMA Ch, B band", 21, 2, K_U16, 2, false, nullptr},
    {"ACCOLC", 37, 0, K_U8, 1, true, nullptr},
    {"Vocoder Selection", 285, 0, K_U8, 1, false, nullptr},
    {"Prefered Voice SO for Home Page", 285, 1, K_U16, 2, false, nullptr},
    {"Prefered Voice SO for Home Origination", 285, 3, K_U16, 2, false, nullptr},
    {"Prefered Voice SO for Roam Origination", 285, 5, K_U16, 2, false, nullptr},
    {"Register - Home SID", 34, 0, K_U8, 1, true, "Disable|Enable"},
    {"Register - Foreign SID ", 35, 0, K_U8, 1, true, "Disable|Enable"},
    {"Register - Foreign NID", 36, 0, K_U8, 1, true, "Disable|Enable"},
    {"OTAPA Enable", 260, 0, K_U8, 1, false, "Disable|Enable"},
    {"SPASM", 261, 0, K_U8, 1, false, "Disable|Enable"},
    {"System Select Preference", 258, 0, K_U8, 1, false, "A only|B only|Home only|Home preferred"},
};
const SRow SECURITY[] = {
    {"Service Programming Code(SPC)", 85, 0, K_DIGITS, 6, false, nullptr},
    {"Service Programming Code Change Enable", 296, 0, K_U8, 1, false, "Disable|Enable"},
};

const SRow FEATURE[] = {
    {"Lock Mode", 83, 0, K_U8, 1, false, nullptr},
    {"DTMF, Key Beep Length", 67, 0, K_U8, 1, false, "Short|Long"},
    {"Auto Retry (auto re-dial) ", 75, 0, K_U8, 1, false, "Disable|Enable"},
    {"Auto Answer-Headset", 74, 0, K_U8, 1, false, "Disable|Enable"},
    {"Backlight (NOT DISPLAY)", 77, 0, K_U8, 1, false, nullptr},
    {"ERI ID", 4025, 0, K_U16, 2, false, nullptr},
    {"Display ESN/MEID (in Decimal & Hex)", 0, 0, K_U32, 4, false, nullptr}, // read-only
    {"Voice_Priv", 179, 0, K_U8, 1, false, "Standard|Enhanced"},
};
const SRow DATA[] = {
    {"QNC_ENABLED", 240, 0, K_U8, 1, false, "Disable|Enable"},
    {"MIP_MODE", 459, 0, K_U8, 1, false, "Simple IP only|Mobile IP preferred|Mobile IP only"},
    {"MIP Registration Retries", 460, 0, K_U8, 1, false, nullptr},
    {"MIP Registration Retry Timeout", 461, 0, K_U8, 1, false, nullptr},
    {"MIP Pre-Reregistration Timeout", 462, 0, K_U8, 1, false, nullptr},
    {"Number of Profiles", 463, 0, K_U8, 1, false, nullptr},
    {"MN-HA Authentication", 546, 0, K_U8, 1, false, nullptr},
    {"DNS Primary", 423, 0, K_IPV4, 4, false, nullptr},
    {"DNS Secondary", 424, 0, K_IPV4, 4, false, nullptr},
    {"DATA_SCRM_ENABLED", 429, 0, K_U8, 1, false, "Disable|Enable"},
    {"DATA_TRTL_ENABLED", 450, 0, K_U8, 1, false, "Disable|Enable"},
    {"DATA_SO_SET", 241, 0, K_U8, 1, false, nullptr},
    {"hybrid_pref(1xEV-DO)", 562, 0, K_U8, 1, false, "Off|On"},
};

// The mapping of one catalogue row, or nullptr.
const SRow* RowOf(int category, const QString& name)
{
    auto find = [&name](const SRow* rows, size_t n) -> const SRow* {
        for (size_t i = 0; i < n; ++i)
            if (name == QLatin1String(rows[i].name))
                return &rows[i];
        return nullptr;
    };
    switch (category) {
    case 0:
        return find(GENERAL, std::size(GENERAL));
    case 1:
    case 2:
        return find(NAM, std::size(NAM));
    case 3:
        return find(SECURITY, std::size(SECURITY));
    case 4:
        return find(FEATURE, std::size(FEATURE));
    case 5:
        return find(DATA, std::size(DATA));
    default:
        return nullptr;
    }
}

int NamOf(int category)
{
    return category == 1 ? 0 : (category == 2 ? 1 : -1);
}

int Base(int category)
{
    return NamOf(category) >= 0 ? 1 : 0;
}

quint32 GetN(const QByteArray& d, int at, int width)
{
    quint32 v = 0;
    for (int i = width - 1; i >= 0; --i)
        v = (v << 8) | static_cast<quint8>(d.at(at + i));
    return v;
}

void PutN(QByteArray& d, int at, int width, quint32 v)
{
    for (int i = 0; i < width; ++i)
        d[at + i] = static_cast<char>(v >> (8 * i));
}

bool ParseNumber(const QString& text, int width, quint32& v)
{
    bool ok = false;
    const QString t = text.trimmed();
    const quint64 n = t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? t.mid(2).toULongLong(&ok, 16)
                                                                             : t.toULongLong(&ok, 10);
    v = static_cast<quint32>(n);
    return ok && (width >= 4 || n < (quint64(1) << (8 * width)));
}

// The two cell texts of a row from the item's data.
QStringList Show(const SRow& r, const QByteArray& d, int base)
{
    const int at = base + r.offset + (r.copy ? r.width : 0);
    switch (r.kind) {
    case K_U8:
    case K_U16:
    case K_U32: {
        const quint32 v = GetN(d, at, r.width);
        if (r.item == 0) // the ESN in decimal and in hexadecimal
            return {QString::number(v), QStringLiteral("%1").arg(v, 8, 16, QLatin1Char('0')).toUpper()};
        if (r.combo != nullptr) {
            const QStringList choices = QString::fromLatin1(r.combo).split(QLatin1Char('|'));
            if (v < static_cast<quint32>(choices.size()))
                return {choices[static_cast<int>(v)], {}};
        }
        return {QString::number(v), {}};
    }
    case K_TEXT:
    case K_DIGITS: {
        QByteArray t = d.mid(at, r.width);
        const int nul = static_cast<int>(t.indexOf('\0'));
        return {QString::fromLatin1(nul < 0 ? t : t.left(nul)), {}};
    }
    case K_SIDNID:
        return {QString::number(GetN(d, at, 2)), QString::number(GetN(d, at + 2, 2))};
    case K_IPV4:
        return {QStringLiteral("%1.%2.%3.%4")
                    .arg(static_cast<quint8>(d.at(at)))
                    .arg(static_cast<quint8>(d.at(at + 1)))
                    .arg(static_cast<quint8>(d.at(at + 2)))
                    .arg(static_cast<quint8>(d.at(at + 3))),
                {}};
    }
    return {};
}

// Writes the cell texts into the item's data; false for a value the row cannot hold.
bool Patch(const SRow& r, const QStringList& cells, QByteArray& d, int base)
{
    const int at = base + r.offset;
    const QString p1 = cells.value(0).trimmed();
    switch (r.kind) {
    case K_U8:
    case K_U16:
    case K_U32: {
        quint32 v = 0;
        const int choice =
            r.combo != nullptr ? QString::fromLatin1(r.combo).split(QLatin1Char('|')).indexOf(p1) : -1;
        if (choice >= 0)
            v = static_cast<quint32>(choice);
        else if (!ParseNumber(p1, r.width, v))
            return false;
        PutN(d, at, r.width, v);
        if (r.copy)
            PutN(d, at + r.width, r.width, v);
        return true;
    }
    case K_TEXT:
    case K_DIGITS: {
        const QByteArray t = p1.toLatin1();
        if (t.size() > r.width || p1.toLatin1() != p1.toUtf8())
            return false;
        if (r.kind == K_DIGITS)
            for (const char c : t)
                if (c < '0' || c > '9')
                    return false;
        d.replace(at, r.width, t.leftJustified(r.width, '\0'));
        return true;
    }
    case K_SIDNID: {
        quint32 sid = 0, nid = 0;
        if (!ParseNumber(p1, 2, sid) || !ParseNumber(cells.value(1), 2, nid))
            return false;
        PutN(d, at, 2, sid);
        PutN(d, at + 2, 2, nid);
        return true;
    }
    case K_IPV4: {
        const QStringList parts = p1.split(QLatin1Char('.'));
        if (parts.size() != 4)
            return false;
        for (int i = 0; i < 4; ++i) {
            bool ok = false;
            const uint v = parts[i].toUInt(&ok);
            if (!ok || v > 255)
                return false;
            d[at + i] = static_cast<char>(v);
        }
        return true;
    }
    }
    return false;
}

QString CellText(const QpxHostServices* h, QpxList* list, int row, int column)
{
    char buf[512] = {};
    const int32_t n = h->ListGetText(list, row, column, buf, sizeof buf);
    return n < 0 ? QString() : QString::fromUtf8(buf);
}

} // namespace

bool RunSettings(CPluginJob& job, int category, int direction, QpxWindow* page, QpxList* list)
{
    if (page == nullptr || list == nullptr || !QPX_HAS_SERVICE(page->host, GridClearEditors))
        return job.Fail(QStringLiteral("The settings list is not available."));
    const QpxHostServices* h = page->host;
    const int rows = qMin(h->ListRowCount(list), NvCategoryItemCount(category));
    const int nam = NamOf(category);
    const int base = Base(category);
    int unmapped = 0;
    std::vector<const SRow*> map(static_cast<size_t>(qMax(0, rows)), nullptr);
    for (int r = 0; r < rows; ++r) {
        map[static_cast<size_t>(r)] = RowOf(category, NvItemName(category, r));
        unmapped += map[static_cast<size_t>(r)] == nullptr ? 1 : 0;
    }

    if (direction == 1) {
        CDiagLink link;
        if (!job.Connect(link))
            return false;
        job.Status(QStringLiteral("Reading %1").arg(NvCategoryTabText(category)));
        QMap<quint16, QByteArray> items;
        QMap<quint16, quint16> statuses;
        int unset = 0;
        QList<QStringList> shown(rows);
        for (int r = 0; r < rows; ++r) {
            const SRow* m = map[static_cast<size_t>(r)];
            if (m == nullptr)
                continue;
            if (!items.contains(m->item)) {
                QByteArray d;
                quint16 st = 0;
                if (!job.Check(link.NvRead(m->item, nam, d, st), link,
                               QStringLiteral("item %1").arg(m->item)))
                    return false;
                items.insert(m->item, d);
                statuses.insert(m->item, st);
            }
            if (statuses[m->item] != 0) {
                ++unset;
                continue;
            }
            shown[r] = Show(*m, items[m->item], base);
            job.Progress(5 + 80 * (r + 1) / qMax(1, rows));
        }
        // All list work before PLUGIN_DONE.
        h->GridClearEditors(list);
        for (int r = 0; r < rows; ++r) {
            const SRow* m = map[static_cast<size_t>(r)];
            h->ListSetText(list, r, 1, shown[r].value(0).toUtf8().constData());
            h->ListSetText(list, r, 2, shown[r].value(1).toUtf8().constData());
            if (m == nullptr)
                continue;
            if (m->item == 0)
                continue; // shown, never written
            if (m->kind == K_IPV4) {
                h->GridAddIpEditor(list, r, 1);
            } else if (m->combo != nullptr) {
                const QList<QByteArray> choices = QByteArray(m->combo).split('|');
                std::vector<const char*> texts;
                for (const QByteArray& c : choices)
                    texts.push_back(c.constData());
                h->GridAddComboEditor(list, r, 1, texts.data(), static_cast<int32_t>(texts.size()));
            } else if (m->kind == K_TEXT) {
                h->GridAddEditEditor(list, r, 1, nullptr, 0, 0);
            } else if (m->kind == K_DIGITS) {
                h->GridAddEditEditor(list, r, 1, "0123456789", m->item == 85 ? 6 : 0, 0);
            } else {
                h->GridAddEditEditor(list, r, 1, "0123456789abcdefABCDEFx", 0,
                                     m->kind == K_SIDNID ? 2 : m->width);
                if (m->kind == K_SIDNID)
                    h->GridAddEditEditor(list, r, 2, "0123456789abcdefABCDEFx", 0, 2);
            }
        }
        job.SetFinalStatus(
            QStringLiteral("%1 read: %2 items; %3 not set on the handset; %4 rows without a known item")
                .arg(NvCategoryTabText(category))
                .arg(rows - unmapped - unset)
                .arg(unset)
                .arg(unmapped));
        return true;
    }

    // Write: every cell is read and checked before the handset is touched.
    struct SCell
    {
        const SRow* row;
        QStringList cells;
    };
    QList<SCell> cells;
    for (int r = 0; r < rows; ++r) {
        const SRow* m = map[static_cast<size_t>(r)];
        if (m == nullptr || m->item == 0) // the ESN is the handset's own
            continue;
        const QStringList c = {CellText(h, list, r, 1), CellText(h, list, r, 2)};
        if (c[0].trimmed().isEmpty())
            continue; // empty: left as the handset has it
        QByteArray probe(128, '\0');
        if (!Patch(*m, c, probe, base))
            return job.Fail(QStringLiteral("The value \"%1\" of \"%2\" cannot be written.")
                                .arg(c[0], QString::fromLatin1(m->name).trimmed()));
        cells.append({m, c});
    }
    if (cells.isEmpty())
        return job.Fail(QStringLiteral("There is no value to write in %1.").arg(NvCategoryTabText(category)));
    CDiagLink link;
    if (!job.Connect(link))
        return false;
    job.Status(QStringLiteral("Unlocking the handset"));
    if (!job.Unlock(link) || !job.Check(link.ModeChange(1), link, QStringLiteral("going offline")))
        return false;
    QList<quint16> order;
    for (const SCell& c : cells)
        if (!order.contains(c.row->item))
            order.append(c.row->item);
    for (int i = 0; i < order.size(); ++i) {
        const quint16 item = order[i];
        job.Status(QStringLiteral("Writing item %1").arg(item));
        QByteArray d;
        quint16 st = 0;
        if (!job.Check(link.NvRead(item, nam, d, st), link, QStringLiteral("item %1").arg(item)))
            return false;
        if (st != 0)
            d = QByteArray(128, '\0');
        if (nam >= 0)
            d[0] = static_cast<char>(nam);
        for (const SCell& c : cells)
            if (c.row->item == item)
                Patch(*c.row, c.cells, d, base);
        if (!job.Check(link.NvWrite(item, d, st), link, QStringLiteral("item %1").arg(item)))
            return false;
        if (st == 7)
            return job.Fail(QStringLiteral("The handset keeps item %1 read-only.").arg(item));
        if (st != 0)
            return job.Fail(
                QStringLiteral("The handset did not store item %1 (NV status %2).").arg(item).arg(st));
        QByteArray back;
        if (!job.Check(link.NvRead(item, nam, back, st), link, QStringLiteral("item %1").arg(item)))
            return false;
        if (st != 0 || back != d)
            return job.Fail(
                QStringLiteral("Item %1 read back from the handset differs from what was written.")
                    .arg(item));
        job.Progress(10 + 80 * (i + 1) / static_cast<int>(order.size()));
    }
    job.Status(QStringLiteral("Restarting the handset"));
    if (!job.Check(link.ModeChange(2), link, QStringLiteral("restart")))
        return false;
    job.SetFinalStatus(
        QStringLiteral("%1 written: %2 values in %3 items verified; %4 rows without a known item")
            .arg(NvCategoryTabText(category))
            .arg(cells.size())
            .arg(order.size())
            .arg(unmapped));
    return true;
}
