// Settings by category: every catalogue row is mapped (SettingsMap.h) to a value in an NV item,
// a private item (PrivateItems.h), the PRL image or the version answer, or is left out.
//
//   read:  version (00) → 26 per item (NAM index in data byte 0 for NAM1 / NAM2) → 49 block 0 of
//          each NAM for "PRL ID" → PARAMETER1 / PARAMETER2 → an editor per writable row
//   write: cells parsed first (a value that does not fit stops before the handset is touched)
//          → version → 41 SPC → 26 per item involved → rows whose value differs from the
//          handset's → the items to change saved in NV_BK/<time>/ beside the plug-in → 29 01 00
//          → per item: 27, 26 again and compare → 29 02 00
// An item the handset does not have (13 / 14 answer, NV status 8) is shown empty and left alone;
// status 5 (never written) and an item hidden until the SPC is given (42) are shown empty and can
// be written.
#include "Operations.h"
#include "SettingsMap.h"
#include "WriteBackup.h"
#include "handset/HandsetFormat.h"
#include "pages/NvCatalogue.h"
#include "serial/DiagCodec.h"

#include <QMap>

#include <optional>
#include <vector>

namespace {

enum EItemState
{
    ITEM_SET,
    ITEM_UNSET,  // NV status 5: never written
    ITEM_ABSENT, // not on this handset
    ITEM_LOCKED  // read refused until the SPC is given (42)
};

struct SItem
{
    QByteArray data; // 128 bytes; zeros (and the NAM index) when not set
    EItemState state = ITEM_SET;
};

using CItems = QMap<quint16, SItem>;

QString CellText(const QpxHostServices* h, QpxList* list, int row, int column)
{
    char buf[512] = {};
    const int32_t n = h->ListGetText(list, row, column, buf, sizeof buf);
    return n < 0 ? QString() : QString::fromUtf8(buf);
}

bool ReadItem(CPluginJob& job, CDiagLink& link, quint16 item, int nam, SItem& out)
{
    QByteArray d;
    quint16 st = 0;
    const CDiagLink::EOutcome r = link.NvRead(item, nam, d, st);
    const quint8 refusal = r == CDiagLink::REFUSED ? link.RefusalCode() : 0;
    const bool refused =
        refusal == ERR_BAD_COMMAND || refusal == ERR_BAD_PARAMETER || refusal == ERR_SPC_LOCKED;
    if (!refused && !job.Check(r, link, QStringLiteral("item %1").arg(item)))
        return false;
    if (refusal == ERR_SPC_LOCKED)
        out.state = ITEM_LOCKED;
    else
        out.state = refused || (st != 0 && st != 5) ? ITEM_ABSENT : (st == 5 ? ITEM_UNSET : ITEM_SET);
    out.data = d.leftJustified(NV_DATA_SIZE, '\0', true);
    if (out.state != ITEM_SET) {
        out.data.fill('\0');
        if (nam >= 0)
            out.data[0] = static_cast<char>(nam);
    }
    return true;
}

bool ReadItems(CPluginJob& job, CDiagLink& link, const QList<quint16>& wanted, int nam, CItems& items,
               int pctFrom, int pctTo)
{
    for (int i = 0; i < wanted.size(); ++i) {
        if (items.contains(wanted[i]))
            continue;
        SItem it;
        if (!ReadItem(job, link, wanted[i], nam, it))
            return false;
        items.insert(wanted[i], it);
        job.Progress(pctFrom + (pctTo - pctFrom) * (i + 1) / static_cast<int>(wanted.size()));
    }
    return true;
}

// The PRL ID of one NAM from block 0 of its PRL (image bytes 2-3, high byte first); nullopt when
// the NAM holds none or the handset has no PRL read.
bool ReadPrlId(CPluginJob& job, CDiagLink& link, int nam, std::optional<quint16>& id)
{
    id.reset();
    QByteArray req(3, '\0');
    req[0] = static_cast<char>(CMD_PRL_READ);
    req[2] = static_cast<char>(nam);
    QByteArray a;
    const CDiagLink::EOutcome r = link.Request(req, a);
    if (r == CDiagLink::REFUSED && link.RefusalCode() == ERR_BAD_COMMAND)
        return true;
    if (!job.Check(r, link, QStringLiteral("PRL read, NAM %1").arg(nam + 1)))
        return false;
    const auto* p = reinterpret_cast<const quint8*>(a.constData());
    if (a.size() >= 12 && p[1] == 0 && GetLe16(p + 2) == 0 && GetLe16(p + 6) >= 32)
        id = static_cast<quint16>((p[10] << 8) | p[11]);
    return true;
}

QStringList VersionCells(ENvKind kind, const QByteArray& version)
{
    const SVersionTexts v =
        VersionTexts(reinterpret_cast<const quint8*>(version.constData()), static_cast<int>(version.size()));
    if (kind == NK_SW_VERSION)
        return {v.strSwVersion, v.strCompileDate + QLatin1Char(' ') + v.strCompileTime};
    return {v.strMsmVersion, QStringLiteral("Model %1").arg(v.strMobileModel)};
}

QStringList ShowField(const SNvField& f, const CItems& items)
{
    return FieldShow(f, items.value(f.item).data,
                     f.kind == NK_IMSI_S ? items.value(f.item2).data : QByteArray());
}

bool AnyUnset(const SNvField& f, const CItems& items)
{
    for (const quint16 item : FieldItems(f))
        if (items.value(item).state != ITEM_SET)
            return true;
    return false;
}

bool PatchAll(const SNvField& f, const QStringList& cells, CItems& items)
{
    for (const quint16 item : FieldItems(f))
        if (!FieldPatch(f, cells, item, items[item].data))
            return false;
    return true;
}

QString RowName(int category, int row)
{
    return NvItemName(category, row).trimmed();
}

QString BackupName(quint16 item, int nam)
{
    return nam < 0 ? QStringLiteral("nv/%1.bin").arg(item)
                   : QStringLiteral("nv/%1-nam%2.bin").arg(item).arg(nam + 1);
}

struct SMapped
{
    int row;
    SNvField field;
};

bool ReadCategory(CPluginJob& job, int category, const QpxHostServices* h, QpxList* list, int rows,
                  const std::vector<SMapped>& mapped)
{
    const int nam = SettingsNamOf(category);
    CDiagLink link;
    if (!job.Connect(link))
        return false;
    job.Status(QStringLiteral("Reading %1").arg(NvCategoryTabText(category)));
    QByteArray version;
    QList<quint16> wanted;
    bool prl = false;
    for (const SMapped& m : mapped) {
        wanted += FieldItems(m.field);
        prl = prl || m.field.kind == NK_PRL_ID;
        if ((m.field.kind == NK_SW_VERSION || m.field.kind == NK_HW_VERSION) && version.isEmpty() &&
            !job.Check(link.Request(QByteArray(1, CMD_VERSION), version), link, QStringLiteral("version")))
            return false;
    }
    CItems items;
    if (!ReadItems(job, link, wanted, nam, items, 5, 85))
        return false;
    std::optional<quint16> prlId[2];
    for (int n = 0; prl && n < 2; ++n)
        if (!ReadPrlId(job, link, n, prlId[n]))
            return false;

    QList<QStringList> shown(rows);
    QList<bool> editable(rows, false);
    int values = 0, unset = 0, absent = 0, locked = 0;
    for (const SMapped& m : mapped) {
        const SNvField& f = m.field;
        QStringList cells;
        if (f.kind == NK_PRL_ID) {
            for (const auto& id : prlId)
                cells.append(id ? QString::number(*id) : QString());
        } else if (!IsNvKind(f.kind)) {
            cells = VersionCells(f.kind, version);
        } else {
            bool isAbsent = false, isUnset = false, isLocked = false;
            for (const quint16 item : FieldItems(f)) {
                isAbsent = isAbsent || items.value(item).state == ITEM_ABSENT;
                isUnset = isUnset || items.value(item).state == ITEM_UNSET;
                isLocked = isLocked || items.value(item).state == ITEM_LOCKED;
            }
            if (isAbsent) {
                ++absent;
                continue;
            }
            // A locked item (an SPC the handset hides) can still be given a new value.
            editable[m.row] = !f.readOnly;
            if (isUnset || isLocked) {
                ++(isLocked ? locked : unset);
                continue;
            }
            cells = ShowField(f, items);
        }
        if (cells.value(0).isEmpty() && cells.value(1).isEmpty())
            ++unset;
        else
            ++values;
        shown[m.row] = cells;
    }

    // All list work before PLUGIN_DONE.
    h->GridClearEditors(list);
    for (int r = 0; r < rows; ++r) {
        h->ListSetText(list, r, 1, shown[r].value(0).toUtf8().constData());
        h->ListSetText(list, r, 2, shown[r].value(1).toUtf8().constData());
    }
    for (const SMapped& m : mapped) {
        if (!editable[m.row])
            continue;
        const SNvField& f = m.field;
        const auto choices = FieldChoices(f.choices);
        if (f.kind == NK_IPV4) {
            h->GridAddIpEditor(list, m.row, 1);
        } else if (!choices.isEmpty()) {
            QList<QByteArray> texts;
            for (const auto& c : choices)
                texts.append(c.second.toLatin1());
            std::vector<const char*> ptrs;
            for (const QByteArray& t : texts)
                ptrs.push_back(t.constData());
            h->GridAddComboEditor(list, m.row, 1, ptrs.data(), static_cast<int32_t>(ptrs.size()));
        } else {
            const QByteArray chars = FieldEditChars(f).toLatin1();
            const char* allowed = chars.isEmpty() ? nullptr : chars.constData();
            if (FieldTextBytes(f) > 0 && QPX_HAS_SERVICE(h, GridAddTextEditor))
                h->GridAddTextEditor(list, m.row, 1, allowed, f.minLength, FieldTextBytes(f));
            else
                h->GridAddEditEditor(list, m.row, 1, allowed, f.minLength, FieldEditWidth(f));
            if (f.kind == NK_SIDNID)
                h->GridAddEditEditor(list, m.row, 2, chars.constData(), 0, 2);
        }
    }
    QString status = QStringLiteral("%1 read: %2 values; %3 not set; %4 not on the handset; %5 rows left out")
                         .arg(NvCategoryTabText(category))
                         .arg(values)
                         .arg(unset)
                         .arg(absent)
                         .arg(rows - static_cast<int>(mapped.size()));
    if (locked > 0)
        status += QStringLiteral("; %1 shown only after the SPC").arg(locked);
    job.SetFinalStatus(status);
    return true;
}

bool WriteCategory(CPluginJob& job, int category, const QpxHostServices* h, QpxList* list, int rows,
                   const std::vector<SMapped>& mapped)
{
    const int nam = SettingsNamOf(category);
    // Every cell is read and checked before the handset is touched.
    struct SCell
    {
        const SMapped* m;
        QStringList cells;
    };
    QList<SCell> cells;
    QList<quint16> wanted;
    for (const SMapped& m : mapped) {
        if (m.field.readOnly)
            continue;
        const QStringList c = {CellText(h, list, m.row, 1), CellText(h, list, m.row, 2)};
        if (c[0].trimmed().isEmpty())
            continue; // empty: left as the handset has it
        CItems probe;
        for (const quint16 item : FieldItems(m.field))
            probe[item].data = QByteArray(128, '\0');
        if (!PatchAll(m.field, c, probe))
            return job.Fail(QStringLiteral("The value \"%1\" of \"%2\" cannot be written.")
                                .arg(c[0], RowName(category, m.row)));
        cells.append({&m, c});
        wanted += FieldItems(m.field);
    }
    if (cells.isEmpty())
        return job.Fail(QStringLiteral("There is no value to write in %1.").arg(NvCategoryTabText(category)));

    CDiagLink link;
    if (!job.Connect(link))
        return false;
    // Unlocked first: a handset may hide protected items (the SPC) until then. Nothing is written
    // before the backup below.
    job.Status(QStringLiteral("Unlocking the handset"));
    if (!job.Unlock(link))
        return false;
    job.Status(QStringLiteral("Reading %1").arg(NvCategoryTabText(category)));
    CItems before;
    if (!ReadItems(job, link, wanted, nam, before, 5, 20))
        return false;

    // Only rows whose value differs from the handset's are written, so that rows sharing bytes
    // (MIN1 / MIN2 and IMSI_S) do not undo each other's change.
    CItems after = before;
    QList<const SCell*> changed;
    for (const SCell& c : cells) {
        for (const quint16 item : FieldItems(c.m->field)) {
            if (before.value(item).state == ITEM_ABSENT)
                return job.Fail(QStringLiteral("The handset does not have item %1 (\"%2\").")
                                    .arg(item)
                                    .arg(RowName(category, c.m->row)));
            if (before.value(item).state == ITEM_LOCKED)
                return job.Fail(QStringLiteral("The handset keeps item %1 (\"%2\") locked after the service "
                                               "programming code.")
                                    .arg(item)
                                    .arg(RowName(category, c.m->row)));
        }
        CItems alone = before;
        PatchAll(c.m->field, c.cells, alone);
        if (!AnyUnset(c.m->field, before) && ShowField(c.m->field, alone) == ShowField(c.m->field, before))
            continue;
        PatchAll(c.m->field, c.cells, after);
        changed.append(&c);
    }
    for (const SCell* c : changed) {
        CItems alone = before;
        PatchAll(c->m->field, c->cells, alone);
        if (ShowField(c->m->field, alone) != ShowField(c->m->field, after))
            return job.Fail(QStringLiteral("\"%1\" and another changed row of the same item disagree; change "
                                           "only one of them.")
                                .arg(RowName(category, c->m->row)));
    }
    QList<quint16> order;
    for (const SCell* c : changed)
        for (const quint16 item : FieldItems(c->m->field))
            if (!order.contains(item))
                order.append(item);
    const int unchanged = static_cast<int>(mapped.size() - changed.size());
    const int leftOut = rows - static_cast<int>(mapped.size());
    if (order.isEmpty()) {
        job.SetFinalStatus(
            QStringLiteral("%1: every value is already on the handset; nothing written; %2 rows left out")
                .arg(NvCategoryTabText(category))
                .arg(leftOut));
        return true;
    }

    job.Status(QStringLiteral("Saving the values to be replaced"));
    CWriteBackup backup(job, QStringLiteral("NV_BK"));
    for (const quint16 item : order) {
        if (before.value(item).state != ITEM_SET)
            backup.AddAbsent(BackupName(item, nam));
        else if (!backup.Add(BackupName(item, nam), before.value(item).data))
            return false;
    }
    if (!backup.Finish())
        return false;

    job.Status(QStringLiteral("Going offline"));
    if (!job.Check(link.ModeChange(MODE_OFFLINE), link, QStringLiteral("going offline")))
        return false;
    for (int i = 0; i < order.size(); ++i) {
        const quint16 item = order[i];
        job.Status(QStringLiteral("Writing item %1").arg(item));
        QByteArray d = after.value(item).data;
        if (nam >= 0)
            d[0] = static_cast<char>(nam);
        quint16 st = 0;
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
        if (st != 0 || back.leftJustified(128, '\0', true) != d)
            return job.Fail(
                QStringLiteral("Item %1 read back from the handset differs from what was written.")
                    .arg(item));
        job.Progress(25 + 65 * (i + 1) / static_cast<int>(order.size()));
    }
    job.Status(QStringLiteral("Restarting the handset"));
    if (!job.Check(link.ModeChange(MODE_RESET), link, QStringLiteral("restart")))
        return false;
    job.SetFinalStatus(
        QStringLiteral("%1 written: %2 values in %3 items verified; %4 rows unchanged; %5 rows "
                       "left out")
            .arg(NvCategoryTabText(category))
            .arg(changed.size())
            .arg(order.size())
            .arg(unchanged)
            .arg(leftOut));
    return true;
}

} // namespace

bool RunSettings(CPluginJob& job, int category, int direction, QpxWindow* page, QpxList* list)
{
    if (page == nullptr || list == nullptr || !QPX_HAS_SERVICE(page->host, GridClearEditors))
        return job.Fail(QStringLiteral("The settings list is not available."));
    const QpxHostServices* h = page->host;
    const int rows = qMax(0, qMin(h->ListRowCount(list), NvCategoryItemCount(category)));
    std::vector<SMapped> mapped;
    for (int r = 0; r < rows; ++r) {
        SNvField f;
        if (SettingsRowField(category, r, f))
            mapped.push_back({r, f});
    }
    return direction == 1 ? ReadCategory(job, category, h, list, rows, mapped)
                          : WriteCategory(job, category, h, list, rows, mapped);
}
