// Settings values through the reference plug-in's settings codec: any item data a handset sends
// for any row of the settings catalogue, and any texts a technician types into its cells.
// Input: category, row, the item's data length, the data (and the second item's for the IMSI),
// then the two cell texts separated by a line feed. A value the codec takes must show again as
// a value it takes to the same bytes.
#include "FuzzSupport.h"
#include "SettingsMap.h"

namespace {

constexpr int NV_DATA = 128;

// Patches one item; a refused value must leave its data alone.
bool Patch(const SNvField& f, const QStringList& cells, quint16 item, QByteArray& d)
{
    const QByteArray before = d;
    const bool ok = FieldPatch(f, cells, item, d);
    if (!ok && d != before)
        std::abort();
    if (ok && d.size() != before.size())
        std::abort();
    return ok;
}

// Patches every item of the field; false when the codec refuses the texts for one of them.
bool PatchAll(const SNvField& f, const QStringList& cells, QByteArray& d1, QByteArray& d2)
{
    return Patch(f, cells, f.item, d1) && (f.kind != NK_IMSI_S || Patch(f, cells, f.item2, d2));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const quint8* data, size_t size)
{
    if (size < 3 || size > 3 + 2 * NV_DATA + 512)
        return 0;
    SNvField f;
    if (!SettingsRowField(data[0] % 14, data[1], f))
        return 0;
    const int len = qMin<int>(data[2] % (NV_DATA + 1), static_cast<int>(size) - 3);
    const quint8* p = data + 3;
    const quint8* end = data + size;
    QByteArray d1(reinterpret_cast<const char*>(p), len);
    p += len;
    const int len2 = qMin<int>(NV_DATA, static_cast<int>(end - p));
    QByteArray d2(reinterpret_cast<const char*>(p), f.kind == NK_IMSI_S ? len2 : 0);
    if (f.kind == NK_IMSI_S)
        p += len2;
    const QStringList shown = FieldShow(f, d1, d2);
    if (shown.size() != 2)
        std::abort();
    FieldChoices(f.choices);
    FieldEditChars(f);

    const QString typed = QString::fromUtf8(reinterpret_cast<const char*>(p), end - p);
    const QStringList cells = typed.split(QLatin1Char('\n'));
    QByteArray w1 = d1, w2 = d2;
    if (!PatchAll(f, cells, w1, w2))
        return 0;
    const QStringList again = FieldShow(f, w1, w2);
    QByteArray x1 = w1, x2 = w2;
    if (!PatchAll(f, again, x1, x2) || x1 != w1 || x2 != w2 || FieldShow(f, x1, x2) != again)
        std::abort();
    return 0;
}
