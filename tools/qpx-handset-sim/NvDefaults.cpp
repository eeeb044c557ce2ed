#include "NvDefaults.h"

#include "HandsetState.h"
#include "PrivateItems.h"
#include "SettingsCodec.h"
#include "serial/DiagProtocol.h"

#include <QMap>
#include <QPair>

namespace {

// The items being built, keyed by (item, NAM index or -1).
class CBuilder
{
public:
    void Put(quint16 item, int nam, int offset, ENvKind kind, int width, const QStringList& cells,
             bool copy = false)
    {
        SNvField f;
        f.item = item;
        f.offset = offset;
        f.kind = kind;
        f.width = width;
        f.copy = copy;
        QByteArray& d = m_items[{item, nam}];
        if (d.isEmpty()) {
            d = QByteArray(NV_DATA_SIZE, '\0');
            if (nam >= 0)
                d[0] = static_cast<char>(nam);
        }
        const bool ok = FieldPatch(f, cells, item, d);
        Q_ASSERT(ok); // the table below holds only values that fit
        Q_UNUSED(ok);
    }
    void Number(quint16 item, int nam, int offset, int width, quint32 v, bool copy = false)
    {
        Put(item, nam, offset, NK_NUMBER, width, {QString::number(v)}, copy);
    }
    void Raw(quint16 item, const QByteArray& data) { m_items[{item, -1}] = data; }

    QList<SNvDefault> Items() const
    {
        QList<SNvDefault> out;
        for (auto it = m_items.cbegin(); it != m_items.cend(); ++it)
            out.append({it.key().first, it.value()});
        return out;
    }

private:
    QMap<QPair<quint16, int>, QByteArray> m_items;
};

QString DigitsOf(const QString& number)
{
    QString d;
    for (const QChar c : number)
        if (c.isDigit())
            d.append(c);
    return d;
}

} // namespace

QList<SNvDefault> FactoryNvItems(const SHandsetProfile& p)
{
    CBuilder b;
    // General NAM and System Security (item 85, the SPC, comes from the profile in the state).
    b.Number(4, -1, 0, 1, p.nStationClassMark);
    b.Number(179, -1, 0, 1, 0);
    b.Number(5, -1, 0, 1, p.nSlotCycleIndex);
    b.Number(296, -1, 0, 1, 0);

    // NAM1 and NAM2 (item 178, the MDN, comes from the profile in the state).
    quint32 dmin1 = 0, amin1 = 0;
    quint16 dmin2 = 0, amin2 = 0;
    ProfileMins(p, dmin1, dmin2, amin1, amin2);
    const QString digits = DigitsOf(p.strDigitalNumber);
    const quint32 accolc = digits.isEmpty() ? 0 : static_cast<quint32>(digits.right(1).toUInt());
    for (int nam = 0; nam < 2; ++nam) {
        b.Put(43, nam, 1, NK_TEXT, 12, {QStringLiteral("NAM%1").arg(nam + 1)});
        b.Put(259, nam, 1, NK_SIDNID, 4, {QString::number(p.nSid), QString::number(p.nNid)});
        b.Put(255, nam, 1, NK_SIDNID, 4, {QStringLiteral("0"), QStringLiteral("0")});
        b.Number(32, nam, 1, 4, amin1); // analog, then CDMA copy
        b.Number(32, nam, 5, 4, dmin1);
        b.Number(33, nam, 1, 2, amin2);
        b.Number(33, nam, 3, 2, dmin2);
        b.Put(176, nam, 1, NK_MCC, 2, {QStringLiteral("310")});
        b.Put(177, nam, 1, NK_MNC, 1, {QStringLiteral("00")});
        b.Number(20, nam, 1, 2, 283); // primary channel, A then B band
        b.Number(20, nam, 3, 2, 384);
        b.Number(21, nam, 1, 2, 691); // secondary channel
        b.Number(21, nam, 3, 2, 777);
        b.Number(37, nam, 1, 1, accolc, true);
        b.Number(285, nam, 1, 1, 1); // EVRC capable, SO 3 for pages and originations
        b.Number(285, nam, 2, 2, 3);
        b.Number(285, nam, 4, 2, 3);
        b.Number(285, nam, 6, 2, 3);
        b.Number(34, nam, 1, 1, 1, true);
        b.Number(35, nam, 1, 1, 1, true);
        b.Number(36, nam, 1, 1, 1, true);
        b.Number(260, nam, 1, 1, 1);
        b.Number(261, nam, 1, 1, 0);
        b.Number(258, nam, 1, 1, 3); // home preferred
        b.Number(10, nam, 1, 1, 4);  // automatic
    }

    // FEATURE
    b.Number(83, -1, 0, 1, 0);
    b.Number(67, -1, 0, 1, 1);
    b.Number(75, -1, 0, 1, 0);
    b.Number(74, -1, 0, 1, 0);
    b.Number(77, -1, 0, 1, 10);

    // Data Parameter
    b.Number(240, -1, 0, 1, 0);
    b.Number(459, -1, 0, 1, 1);
    b.Number(460, -1, 0, 1, 2);
    b.Number(461, -1, 0, 1, 3);
    b.Number(462, -1, 0, 1, 5);
    b.Number(463, -1, 0, 1, 1);
    b.Number(546, -1, 0, 1, 1);
    b.Put(465, -1, 1, NK_LTEXT, 72, {digits + QStringLiteral("@mip.kova.example")});
    b.Number(465, -1, 74, 1, 1);
    b.Number(465, -1, 75, 4, 300);
    b.Number(465, -1, 79, 1, 1);
    b.Number(465, -1, 80, 4, 2);
    b.Number(465, -1, 84, 1, 1);
    b.Put(465, -1, 85, NK_IPV4, 4, {QStringLiteral("0.0.0.0")}); // assigned by the network
    b.Put(465, -1, 89, NK_IPV4, 4, {QStringLiteral("255.255.255.255")});
    b.Put(465, -1, 93, NK_IPV4, 4, {QStringLiteral("255.255.255.255")});
    b.Put(466, -1, 1, NK_LTEXT, 16, {QStringLiteral("kova-ha-secret")});
    b.Put(466, -1, 18, NK_LTEXT, 16, {QStringLiteral("kova-aaa-secret")});
    b.Put(423, -1, 0, NK_IPV4, 4, {QStringLiteral("198.51.100.1")});
    b.Put(424, -1, 0, NK_IPV4, 4, {QStringLiteral("198.51.100.2")});
    b.Put(910, -1, 0, NK_LTEXT, 72, {digits + QStringLiteral("@kova.example")});
    b.Put(906, -1, 0, NK_LTEXT, 16, {QStringLiteral("kova-sip")});
    b.Put(579, -1, 0, NK_LTEXT, 72, {digits + QStringLiteral("@hrpd.kova.example")});
    b.Put(580, -1, 0, NK_LTEXT, 16, {QStringLiteral("kova-an")});
    b.Put(298, -1, 0, NK_LDIAL, 16, {QStringLiteral("#777")});
    b.Number(429, -1, 0, 1, 1);
    b.Number(450, -1, 0, 1, 1);
    b.Number(241, -1, 0, 1, 2);
    b.Number(562, -1, 0, 1, 1);

    // The rows without a public item.
    for (const SPrivateItem& item : PrivateItems())
        b.Raw(item.item, PrivateFactoryData(item));
    return b.Items();
}

void SeedNvDefaults(CHandsetState& state)
{
    for (const SNvDefault& d : FactoryNvItems(state.Profile())) {
        QByteArray now;
        if (state.ReadNv(d.item, d.data.left(1), now) == CHandsetState::NV_INACTIVE)
            state.WriteNv(d.item, d.data);
    }
}
