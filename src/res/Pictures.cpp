#include "Pictures.h"

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QLinearGradient>
#include <QMutex>
#include <QMutexLocker>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr QRgb KEY_BLACK = 0xFF000000;
constexpr QRgb KEY_WHITE = 0xFFFFFFFF;
constexpr QRgb KEY_MAGENTA = 0xFFFF00FF;

// Backgrounds the pictures are shown on; anti-aliased edges are blended against them so no
// fringe of the key colour appears.
constexpr QRgb PANEL_BG = 0xFFFFFFFF;   // function list panel (white brush)
constexpr QRgb PAGE_BG = 0xFFE3E3E3;    // pages and connection strip
constexpr QRgb TOOLBAR_BG = 0xFFC6C0C6; // toolbar background brush

enum EIcon
{
    ICON_NONE,
    ICON_INFO,
    ICON_UPGRADE,
    ICON_BIN,
    ICON_SCRIPT,
    ICON_PRL,
    ICON_ERI,
    ICON_SETTINGS,
    ICON_PHONEBOOK,
    ICON_TRANSFER,
    ICON_OK,
    ICON_CANCEL,
    ICON_MODEL,
    ICON_PORT,
    ICON_REFURBISH,
    ICON_HELP,
    ICON_READ,
    ICON_WRITE,
    ICON_BACKUP,
    ICON_RESTORE,
    ICON_BUSY
};

using K = EPictureKind;
using F = EPictureFace;

// Icon of each picture; kept beside the table so the public record stays small.
struct SEntry
{
    SPictureInfo info;
    int nIcon;
};

constexpr int PB_W = 188, PB_H = 44;
constexpr int ST_W = 575, ST_H = 40; // Start buttons span the page (page width 585 less 10)
constexpr int RW_W = 150, RW_H = 40; // Read / Write of the settings page
constexpr int TI_W = 569, TI_H = 29;
constexpr int LK_W = 229, LK_H = 34;

SEntry Panel(int id, F face, const char* caption, int icon)
{
    return {{id, PB_W, PB_H, K::PanelButton, face, caption, 0, KEY_BLACK}, icon};
}

void AddPanelSet(QList<SEntry>& t, int over, int normal, int checked, int disabled, const char* caption,
                 int icon)
{
    t.append(Panel(over, F::MouseOver, caption, icon));
    t.append(Panel(normal, F::Normal, caption, icon));
    if (checked != over)
        t.append(Panel(checked, F::Checked, caption, icon));
    if (disabled != 0)
        t.append(Panel(disabled, F::Disabled, caption, icon));
}

void AddStartSet(QList<SEntry>& t, int over, int normal, int running, int w, const char* caption,
                 const char* runningCaption, int icon)
{
    t.append({{over, w, ST_H, K::StartButton, F::MouseOver, caption, 0, KEY_BLACK}, icon});
    t.append({{normal, w, ST_H, K::StartButton, F::Normal, caption, 0, KEY_BLACK}, icon});
    t.append({{running, w, ST_H, K::StartButton, F::Disabled, runningCaption, 0, KEY_BLACK}, ICON_BUSY});
}

SEntry Title(int id, const char* caption, int icon)
{
    return {{id, TI_W, TI_H, K::PageTitle, F::None, caption, 0, 0}, icon};
}

SEntry Link(int id, int frame)
{
    return {{id, LK_W, LK_H, K::LinkPicture, F::None, frame == 6 ? "Downloading" : "", frame, 0}, ICON_NONE};
}

QList<SEntry> BuildTable()
{
    QList<SEntry> t;
    // Function list panel: mouse-over, normal, checked, disabled.
    AddPanelSet(t, 1026, 1027, 1028, 1025, "INFO", ICON_INFO);
    AddPanelSet(t, 1032, 1033, 1030, 1031, "Upgrade", ICON_UPGRADE);
    AddPanelSet(t, 1036, 1037, 1034, 1035, "BIN Download", ICON_BIN);
    AddPanelSet(t, 1056, 1057, 1058, 1055, "Script Download", ICON_SCRIPT);
    AddPanelSet(t, 1048, 1049, 1042, 1047, "PRL", ICON_PRL);
    AddPanelSet(t, 1040, 1041, 1038, 1039, "ERI", ICON_ERI);
    AddPanelSet(t, 1060, 1061, 1050, 1059, "Setting", ICON_SETTINGS);
    AddPanelSet(t, 1044, 1045, 1046, 1043, "Phone Book", ICON_PHONEBOOK);
    AddPanelSet(t, 1052, 1053, 1054, 1051, "Transfer", ICON_TRANSFER);
    AddPanelSet(t, 1062, 1064, 1062, 0, "OK", ICON_OK);
    AddPanelSet(t, 1065, 1067, 1065, 0, "CANCEL", ICON_CANCEL);

    t.append({{Res::IDB_PANEL_STATIC_HIGH, 134, 59, K::PanelStatic, F::None, "KOVA", 0, 0}, ICON_MODEL});
    t.append({{Res::IDB_PANEL_STATIC_LOW, 134, 59, K::PanelStatic, F::None, "QPX", 0, 0}, ICON_NONE});

    // Page titles.
    t.append(Title(1069, "Information", ICON_INFO));
    t.append(Title(148, "Upgrade", ICON_UPGRADE));
    t.append(Title(1075, "BIN Download", ICON_BIN));
    t.append(Title(1074, "Script Download", ICON_SCRIPT));
    t.append(Title(1077, "PRL", ICON_PRL));
    t.append(Title(1076, "ERI", ICON_ERI));
    t.append(Title(179, "Refurbish", ICON_REFURBISH));
    t.append(Title(Res::IDB_TITLE_SETTINGS, "Settings", ICON_SETTINGS));
    t.append(Title(Res::IDB_TITLE_PHONEBOOK, "Phone Book", ICON_PHONEBOOK));
    t.append(Title(Res::IDB_TITLE_TRANSFER, "Memory Transfer", ICON_TRANSFER));
    t.append(Title(1079, "Select Model DLL", ICON_MODEL));
    t.append(Title(1078, "Select Comport", ICON_PORT));

    // Link pictures of the connection strip.
    t.append(Link(147, 0));
    t.append(Link(140, 1));
    t.append(Link(142, 2));
    t.append(Link(143, 3));
    t.append(Link(144, 4));
    t.append(Link(171, 5));
    t.append(Link(188, 6));

    // Start faces: mouse-over (also the checked face), normal, disabled / running.
    AddStartSet(t, 1089, 1088, 158, ST_W, "Start Upgrade", "Upgrade...", ICON_UPGRADE);
    AddStartSet(t, 1081, 1080, 152, ST_W, "Start BIN Download", "BIN Download...", ICON_BIN);
    AddStartSet(t, 1083, 1082, 156, ST_W, "Start Script Download", "Script Download...", ICON_SCRIPT);
    AddStartSet(t, 1084, 1085, 155, ST_W, "Start PRL", "PRL...", ICON_PRL);
    AddStartSet(t, 1086, 1087, 153, ST_W, "Start ERI", "ERI...", ICON_ERI);
    AddStartSet(t, 178, 176, 177, ST_W, "Start Refurbish", "Refurbish...", ICON_REFURBISH);
    AddStartSet(t, 136, 135, 154, ST_W, "Start Phone Book Read", "Phone Book Read...", ICON_READ);
    AddStartSet(t, 174, 172, 173, ST_W, "Start Phone Book Write", "Phone Book Write...", ICON_WRITE);
    AddStartSet(t, 1090, 1091, 161, RW_W, "Read", "Read...", ICON_READ);
    AddStartSet(t, 1094, 1095, 160, RW_W, "Write", "Write...", ICON_WRITE);
    AddStartSet(t, 138, 137, 157, ST_W, "Start Backup", "Backup...", ICON_BACKUP);
    AddStartSet(t, 151, 149, 150, ST_W, "Start Restore", "Restore...", ICON_RESTORE);

    t.append({{Res::IDB_BROWSE_OVER, 25, 20, K::BrowseButton, F::MouseOver, "", 0, KEY_WHITE}, ICON_NONE});
    t.append({{Res::IDB_BROWSE_NORMAL, 25, 20, K::BrowseButton, F::Normal, "", 0, KEY_WHITE}, ICON_NONE});

    t.append({{Res::IDB_TOOLBAR, 611, 37, K::Toolbar, F::None, "", 0, KEY_MAGENTA}, ICON_NONE});
    return t;
}

const QList<SEntry>& Entries()
{
    static const QList<SEntry> table = BuildTable();
    return table;
}

const SEntry* FindEntry(int id)
{
    for (const SEntry& e : Entries()) {
        if (e.info.nId == id)
            return &e;
    }
    return nullptr;
}

// ---- drawing helpers ------------------------------------------------------------------------

QFont UiFont(qreal pixelSize, bool bold, int stretch = QFont::Unstretched)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setStyleHint(QFont::SansSerif, QFont::PreferAntialias);
    f.setPixelSize(std::max(1, qRound(pixelSize)));
    f.setBold(bold);
    f.setStretch(stretch);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

// The largest font (down to a floor) whose text fits the width; narrows before it shrinks.
QFont FitFont(const QString& text, qreal pixelSize, bool bold, qreal width, qreal minPixel = 7)
{
    for (qreal px = pixelSize; px >= minPixel; px -= 0.5) {
        for (int stretch : {100, 90, 80}) {
            QFont f = UiFont(px, bold, stretch);
            if (QFontMetricsF(f).horizontalAdvance(text) <= width)
                return f;
        }
    }
    return UiFont(minPixel, bold, 75);
}

// Turns a picture drawn with alpha into the opaque keyed form: fully transparent pixels take the
// key, the rest are blended over the background they will be shown on. A drawn pixel that
// happens to equal the key is nudged by one step so it stays visible.
QImage Flatten(const QImage& argb, QRgb key, QRgb matte)
{
    QImage src = argb.convertToFormat(QImage::Format_ARGB32);
    QImage out(src.size(), QImage::Format_RGB32);
    for (int y = 0; y < src.height(); ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(src.constScanLine(y));
        QRgb* o = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < src.width(); ++x) {
            const int a = qAlpha(in[x]);
            if (a == 0) {
                o[x] = key | 0xFF000000;
                continue;
            }
            auto mix = [a](int c, int m) { return (c * a + m * (255 - a) + 127) / 255; };
            QRgb p = qRgb(mix(qRed(in[x]), qRed(matte)), mix(qGreen(in[x]), qGreen(matte)),
                          mix(qBlue(in[x]), qBlue(matte)));
            if ((p & 0xFFFFFF) == (key & 0xFFFFFF))
                p = qRgb(qRed(p) ^ 1, qGreen(p) ^ 1, qBlue(p));
            o[x] = p;
        }
    }
    return out;
}

QImage NewCanvas(int w, int h, QColor fill = Qt::transparent)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(fill);
    return img;
}

void Prepare(QPainter& p)
{
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
}

// Colours of one button face.
struct SFacePalette
{
    QColor top, bottom, border, text, badge, glyph;
};

SFacePalette FacePalette(EPictureFace face)
{
    switch (face) {
    case F::MouseOver:
        return {QColor(0xFF, 0xF5, 0xDD), QColor(0xFB, 0xD2, 0x7E), QColor(0xC8, 0x84, 0x12),
                QColor(0x4E, 0x30, 0x05), QColor(0xE0, 0x82, 0x0C), QColor(0xFF, 0xFF, 0xFE)};
    case F::Checked:
        return {QColor(0x3A, 0x7B, 0xC4), QColor(0x1C, 0x4D, 0x8A), QColor(0x12, 0x36, 0x66),
                QColor(0xFF, 0xFF, 0xFE), QColor(0xFF, 0xFF, 0xFE), QColor(0x1C, 0x4D, 0x8A)};
    case F::Disabled:
        return {QColor(0xEC, 0xED, 0xEF), QColor(0xDA, 0xDC, 0xE0), QColor(0xB2, 0xB7, 0xBF),
                QColor(0x99, 0x9F, 0xA8), QColor(0xB8, 0xBD, 0xC4), QColor(0xF4, 0xF5, 0xF6)};
    default:
        return {QColor(0xF7, 0xF9, 0xFC), QColor(0xD3, 0xDE, 0xEC), QColor(0x7C, 0x91, 0xB0),
                QColor(0x1C, 0x33, 0x55), QColor(0x2E, 0x6D, 0xB4), QColor(0xFF, 0xFF, 0xFE)};
    }
}

QPainterPath Arrow(QPointF from, QPointF to, qreal shaft, qreal head, qreal headLen)
{
    // A solid arrow from `from` to `to` (tip at `to`).
    const QLineF l(from, to);
    const qreal len = l.length();
    QPainterPath path;
    if (len <= 0)
        return path;
    const QPointF d = (to - from) / len;
    const QPointF n(-d.y(), d.x());
    const QPointF base = to - d * headLen;
    QPolygonF poly;
    poly << from + n * shaft / 2 << base + n * shaft / 2 << base + n * head / 2 << to << base - n * head / 2
         << base - n * shaft / 2 << from - n * shaft / 2;
    path.addPolygon(poly);
    path.closeSubpath();
    return path;
}

// Draws one glyph into the square `r` in colour `c` (white on a badge, usually).
void DrawGlyph(QPainter& p, int icon, const QRectF& r, const QColor& c)
{
    const qreal s = r.width();
    auto P = [&](qreal x, qreal y) { return QPointF(r.left() + x * s, r.top() + y * s); };
    p.save();
    QPen pen(c, std::max(1.2, s * 0.09), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    switch (icon) {
    case ICON_INFO:
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawEllipse(P(0.5, 0.24), s * 0.085, s * 0.085);
        p.drawRoundedRect(QRectF(P(0.42, 0.38), QSizeF(s * 0.16, s * 0.42)), s * 0.05, s * 0.05);
        break;
    case ICON_UPGRADE:
    case ICON_WRITE:
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawPath(Arrow(P(0.5, 0.82), P(0.5, 0.16), s * 0.16, s * 0.5, s * 0.3));
        if (icon == ICON_UPGRADE)
            p.drawRect(QRectF(P(0.22, 0.84), QSizeF(s * 0.56, s * 0.08)));
        break;
    case ICON_BIN:
    case ICON_READ:
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawPath(Arrow(P(0.5, 0.14), P(0.5, 0.74), s * 0.16, s * 0.5, s * 0.3));
        p.drawRect(QRectF(P(0.22, 0.8), QSizeF(s * 0.56, s * 0.08)));
        break;
    case ICON_BACKUP:
    case ICON_RESTORE: {
        // A tray with an arrow into it (backup) or out of it (restore).
        QPainterPath tray;
        tray.moveTo(P(0.18, 0.58));
        tray.lineTo(P(0.18, 0.84));
        tray.lineTo(P(0.82, 0.84));
        tray.lineTo(P(0.82, 0.58));
        p.drawPath(tray);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        if (icon == ICON_BACKUP)
            p.drawPath(Arrow(P(0.5, 0.12), P(0.5, 0.7), s * 0.14, s * 0.42, s * 0.24));
        else
            p.drawPath(Arrow(P(0.5, 0.72), P(0.5, 0.12), s * 0.14, s * 0.42, s * 0.24));
        break;
    }
    case ICON_SCRIPT: {
        QPainterPath doc;
        doc.moveTo(P(0.24, 0.12));
        doc.lineTo(P(0.6, 0.12));
        doc.lineTo(P(0.78, 0.3));
        doc.lineTo(P(0.78, 0.88));
        doc.lineTo(P(0.24, 0.88));
        doc.closeSubpath();
        p.drawPath(doc);
        pen.setWidthF(std::max(1.0, s * 0.07));
        p.setPen(pen);
        for (qreal y : {0.42, 0.57, 0.72})
            p.drawLine(P(0.35, y), P(0.67, y));
        break;
    }
    case ICON_PRL: {
        // An antenna mast with radio waves.
        p.drawLine(P(0.5, 0.42), P(0.5, 0.88));
        p.drawLine(P(0.5, 0.5), P(0.33, 0.88));
        p.drawLine(P(0.5, 0.5), P(0.67, 0.88));
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawEllipse(P(0.5, 0.36), s * 0.08, s * 0.08);
        p.setBrush(Qt::NoBrush);
        pen.setWidthF(std::max(1.0, s * 0.07));
        p.setPen(pen);
        for (qreal k : {0.2, 0.34}) {
            QRectF arc(P(0.5 - k, 0.36 - k), QSizeF(2 * k * s, 2 * k * s));
            p.drawArc(arc, 35 * 16, 110 * 16);
        }
        break;
    }
    case ICON_ERI: {
        // Signal bars with a roaming triangle.
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        for (int i = 0; i < 4; ++i) {
            const qreal h = 0.18 + 0.16 * i;
            p.drawRect(QRectF(P(0.14 + 0.13 * i, 0.86 - h), QSizeF(s * 0.09, s * h)));
        }
        QPolygonF tri;
        tri << P(0.72, 0.12) << P(0.9, 0.44) << P(0.54, 0.44);
        p.drawPolygon(tri);
        break;
    }
    case ICON_SETTINGS: {
        // A gear: eight teeth around a ring.
        QPainterPath gear;
        const QPointF m = P(0.5, 0.5);
        const int teeth = 8;
        for (int i = 0; i < teeth * 4; ++i) {
            const qreal a = (i / (teeth * 4.0)) * 2 * std::numbers::pi;
            const qreal rad = (i % 4 == 0 || i % 4 == 1) ? 0.42 : 0.31;
            const QPointF q = m + QPointF(std::cos(a), std::sin(a)) * rad * s;
            if (i == 0)
                gear.moveTo(q);
            else
                gear.lineTo(q);
        }
        gear.closeSubpath();
        gear.addEllipse(m, s * 0.13, s * 0.13);
        gear.setFillRule(Qt::OddEvenFill);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawPath(gear);
        break;
    }
    case ICON_PHONEBOOK: {
        QRectF book(P(0.2, 0.12), QSizeF(s * 0.6, s * 0.76));
        p.drawRoundedRect(book, s * 0.06, s * 0.06);
        p.drawLine(P(0.32, 0.12), P(0.32, 0.88));
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawEllipse(P(0.57, 0.4), s * 0.1, s * 0.1);
        QPainterPath body;
        body.moveTo(P(0.39, 0.72));
        body.cubicTo(P(0.41, 0.52), P(0.73, 0.52), P(0.75, 0.72));
        body.closeSubpath();
        p.drawPath(body);
        break;
    }
    case ICON_TRANSFER:
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawPath(Arrow(P(0.14, 0.34), P(0.86, 0.34), s * 0.12, s * 0.36, s * 0.22));
        p.drawPath(Arrow(P(0.86, 0.68), P(0.14, 0.68), s * 0.12, s * 0.36, s * 0.22));
        break;
    case ICON_OK: {
        pen.setWidthF(s * 0.14);
        p.setPen(pen);
        QPainterPath tick;
        tick.moveTo(P(0.22, 0.52));
        tick.lineTo(P(0.42, 0.72));
        tick.lineTo(P(0.78, 0.3));
        p.drawPath(tick);
        break;
    }
    case ICON_CANCEL:
        pen.setWidthF(s * 0.14);
        p.setPen(pen);
        p.drawLine(P(0.28, 0.28), P(0.72, 0.72));
        p.drawLine(P(0.72, 0.28), P(0.28, 0.72));
        break;
    case ICON_MODEL: {
        // A handset: body, screen and keypad.
        p.drawRoundedRect(QRectF(P(0.3, 0.08), QSizeF(s * 0.4, s * 0.84)), s * 0.08, s * 0.08);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawRect(QRectF(P(0.37, 0.18), QSizeF(s * 0.26, s * 0.24)));
        for (int row = 0; row < 3; ++row)
            for (int col = 0; col < 3; ++col)
                p.drawEllipse(P(0.4 + 0.1 * col, 0.54 + 0.1 * row), s * 0.03, s * 0.03);
        break;
    }
    case ICON_PORT: {
        // A plug with two pins and its cable.
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawRoundedRect(QRectF(P(0.28, 0.32), QSizeF(s * 0.44, s * 0.3)), s * 0.05, s * 0.05);
        p.drawRect(QRectF(P(0.36, 0.12), QSizeF(s * 0.08, s * 0.2)));
        p.drawRect(QRectF(P(0.56, 0.12), QSizeF(s * 0.08, s * 0.2)));
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        QPainterPath cable;
        cable.moveTo(P(0.5, 0.62));
        cable.cubicTo(P(0.5, 0.8), P(0.3, 0.78), P(0.3, 0.9));
        p.drawPath(cable);
        break;
    }
    case ICON_REFURBISH: {
        // Two curved arrows chasing each other.
        QRectF ring(P(0.2, 0.2), QSizeF(s * 0.6, s * 0.6));
        p.drawArc(ring, 100 * 16, 140 * 16);
        p.drawArc(ring, 280 * 16, 140 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        auto head = [&](qreal deg, qreal dir) {
            const qreal a = deg * std::numbers::pi / 180;
            const QPointF pt = P(0.5, 0.5) + QPointF(std::cos(a), -std::sin(a)) * 0.3 * s;
            const QPointF t(-std::sin(a) * dir, -std::cos(a) * dir); // tangent, counter-clockwise
            const QPointF n(std::cos(a), -std::sin(a));
            QPolygonF tri;
            tri << pt + t * 0.16 * s << pt + n * 0.13 * s << pt - n * 0.13 * s;
            p.drawPolygon(tri);
        };
        head(240, 1);
        head(60, 1);
        break;
    }
    case ICON_HELP: {
        QFont f = UiFont(s * 0.78, true);
        p.setFont(f);
        p.drawText(r, Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    case ICON_BUSY: {
        // An hourglass.
        QPainterPath glass;
        glass.moveTo(P(0.3, 0.16));
        glass.lineTo(P(0.7, 0.16));
        glass.lineTo(P(0.5, 0.5));
        glass.closeSubpath();
        glass.moveTo(P(0.3, 0.84));
        glass.lineTo(P(0.7, 0.84));
        glass.lineTo(P(0.5, 0.5));
        glass.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawPath(glass);
        p.setPen(pen);
        p.drawLine(P(0.24, 0.12), P(0.76, 0.12));
        p.drawLine(P(0.24, 0.88), P(0.76, 0.88));
        break;
    }
    default:
        break;
    }
    p.restore();
}

// A round badge with the glyph inside.
void DrawBadge(QPainter& p, int icon, const QRectF& r, const QColor& badge, const QColor& glyph)
{
    p.save();
    QRadialGradient g(r.center() - QPointF(r.width() * 0.2, r.height() * 0.25), r.width() * 0.8);
    g.setColorAt(0, badge.lighter(125));
    g.setColorAt(1, badge);
    p.setPen(QPen(badge.darker(125), 1));
    p.setBrush(g);
    p.drawEllipse(r.adjusted(0.5, 0.5, -0.5, -0.5));
    p.restore();
    const qreal inset = r.width() * 0.18;
    DrawGlyph(p, icon, r.adjusted(inset, inset, -inset, -inset), glyph);
}

void DrawFaceBody(QPainter& p, const QRectF& r, const SFacePalette& pal, qreal radius)
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, pal.top);
    g.setColorAt(1, pal.bottom);
    p.setPen(QPen(pal.border, 1));
    p.setBrush(g);
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    // A soft highlight line under the top edge.
    QColor hi(255, 255, 254, 110);
    p.setPen(QPen(hi, 1));
    p.drawLine(QPointF(r.left() + radius, r.top() + 1.5), QPointF(r.right() - radius, r.top() + 1.5));
}

QImage PaintPanelButton(const SPictureInfo& info, int icon)
{
    QImage img = NewCanvas(info.nWidth, info.nHeight);
    QPainter p(&img);
    Prepare(p);
    const SFacePalette pal = FacePalette(info.face);
    const QRectF r(0, 0, info.nWidth, info.nHeight);
    DrawFaceBody(p, r, pal, 8);
    const qreal badge = 30;
    DrawBadge(p, icon, QRectF(9, (info.nHeight - badge) / 2, badge, badge), pal.badge, pal.glyph);
    const QString caption = QString::fromLatin1(info.caption);
    const QRectF textRect(48, 0, info.nWidth - 56, info.nHeight);
    p.setFont(FitFont(caption, 15, true, textRect.width()));
    p.setPen(pal.text);
    p.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft, caption);
    p.end();
    return Flatten(img, info.key, PANEL_BG);
}

QImage PaintStartButton(const SPictureInfo& info, int icon)
{
    QImage img = NewCanvas(info.nWidth, info.nHeight);
    QPainter p(&img);
    Prepare(p);
    const bool running = info.face == F::Disabled;
    SFacePalette pal = FacePalette(info.face);
    if (running) {
        pal = {QColor(0xE2, 0xE7, 0xEE), QColor(0xC7, 0xD0, 0xDC), QColor(0x93, 0xA2, 0xB6),
               QColor(0x4C, 0x5C, 0x73), QColor(0x8C, 0x9C, 0xB2), QColor(0xF6, 0xF8, 0xFA)};
    }
    const QRectF r(0, 0, info.nWidth, info.nHeight);
    DrawFaceBody(p, r, pal, 8);
    if (running) {
        // Diagonal stripes: the look of work in progress.
        p.save();
        QPainterPath clip;
        clip.addRoundedRect(r.adjusted(1.5, 1.5, -1.5, -1.5), 7, 7);
        p.setClipPath(clip);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 254, 70));
        for (qreal x = -info.nHeight; x < info.nWidth; x += 22) {
            QPolygonF band;
            band << QPointF(x, info.nHeight) << QPointF(x + info.nHeight, 0)
                 << QPointF(x + info.nHeight + 9, 0) << QPointF(x + 9, info.nHeight);
            p.drawPolygon(band);
        }
        p.restore();
    }
    const QString caption = QString::fromLatin1(info.caption);
    const qreal badge = 28;
    const qreal gap = 10;
    QFont font = FitFont(caption, 16, true, info.nWidth - badge - gap - 24);
    const qreal textW = QFontMetricsF(font).horizontalAdvance(caption);
    const qreal total = badge + gap + textW;
    const qreal x0 = (info.nWidth - total) / 2;
    DrawBadge(p, icon, QRectF(x0, (info.nHeight - badge) / 2, badge, badge), pal.badge, pal.glyph);
    p.setFont(font);
    p.setPen(pal.text);
    p.drawText(QRectF(x0 + badge + gap, 0, textW + 2, info.nHeight), Qt::AlignVCenter | Qt::AlignLeft,
               caption);
    p.end();
    return Flatten(img, info.key, PAGE_BG);
}

QImage PaintTitle(const SPictureInfo& info, int icon)
{
    QImage img = NewCanvas(info.nWidth, info.nHeight, QColor(0xE3, 0xE3, 0xE3));
    QPainter p(&img);
    Prepare(p);
    const QRectF r(0, 0, info.nWidth, info.nHeight);
    QLinearGradient g(r.topLeft(), r.topRight());
    g.setColorAt(0, QColor(0x17, 0x40, 0x77));
    g.setColorAt(0.55, QColor(0x3C, 0x78, 0xBA));
    g.setColorAt(1, QColor(0xB8, 0xD2, 0xEC));
    p.fillRect(r, g);
    // Accent line along the bottom edge.
    QLinearGradient a(r.topLeft(), r.topRight());
    a.setColorAt(0, QColor(0xF2, 0xA1, 0x2C));
    a.setColorAt(1, QColor(0xF2, 0xA1, 0x2C, 0));
    p.fillRect(QRectF(0, info.nHeight - 3, info.nWidth, 3), a);
    DrawGlyph(p, icon, QRectF(7, 3, 21, 21), QColor(0xFF, 0xFF, 0xFE));
    p.setFont(UiFont(16, true));
    p.setPen(QColor(0xFF, 0xFF, 0xFE));
    p.drawText(QRectF(36, 0, 380, info.nHeight - 3), Qt::AlignVCenter | Qt::AlignLeft,
               QString::fromLatin1(info.caption));
    QFont brand = UiFont(11, true);
    brand.setItalic(true);
    p.setFont(brand);
    p.setPen(QColor(0x17, 0x40, 0x77));
    p.drawText(QRectF(0, 0, info.nWidth - 10, info.nHeight - 3), Qt::AlignVCenter | Qt::AlignRight,
               QStringLiteral("KOVA QPX"));
    p.end();
    return img.convertToFormat(QImage::Format_RGB32);
}

void DrawHandset(QPainter& p, const QRectF& r, bool active)
{
    const QColor body = active ? QColor(0x2E, 0x6D, 0xB4) : QColor(0xB4, 0xB4, 0xB4);
    const QColor edge = active ? QColor(0x17, 0x40, 0x77) : QColor(0x8E, 0x8E, 0x8E);
    const QColor screen = active ? QColor(0xBF, 0xE2, 0xFF) : QColor(0xDC, 0xDC, 0xDC);
    p.save();
    p.setPen(QPen(edge, 1));
    p.setBrush(body);
    p.drawRoundedRect(r, 3.5, 3.5);
    p.setPen(Qt::NoPen);
    p.setBrush(screen);
    p.drawRect(QRectF(r.left() + 3, r.top() + 4, r.width() - 6, r.height() * 0.35));
    p.setBrush(screen.lighter(105));
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            p.drawEllipse(QPointF(r.left() + r.width() * (0.27 + 0.23 * col),
                                  r.top() + r.height() * (0.6 + 0.11 * row)),
                          1.1, 1.1);
    p.restore();
}

void DrawComputer(QPainter& p, const QRectF& r, bool active)
{
    const QColor body = active ? QColor(0x2E, 0x6D, 0xB4) : QColor(0xB4, 0xB4, 0xB4);
    const QColor edge = active ? QColor(0x17, 0x40, 0x77) : QColor(0x8E, 0x8E, 0x8E);
    const QColor screen = active ? QColor(0xBF, 0xE2, 0xFF) : QColor(0xDC, 0xDC, 0xDC);
    p.save();
    const QRectF monitor(r.left(), r.top(), r.width(), r.height() * 0.74);
    p.setPen(QPen(edge, 1));
    p.setBrush(body);
    p.drawRoundedRect(monitor, 2.5, 2.5);
    p.setPen(Qt::NoPen);
    p.setBrush(screen);
    p.drawRect(monitor.adjusted(3, 3, -3, -3));
    p.setBrush(body);
    p.drawRect(QRectF(r.center().x() - 3, monitor.bottom(), 6, r.height() * 0.14));
    p.setPen(QPen(edge, 1));
    p.drawRoundedRect(QRectF(r.center().x() - 10, r.bottom() - 3.5, 20, 3.5), 1.5, 1.5);
    p.restore();
}

void DrawLinkArrowHead(QPainter& p, QPointF tip, qreal dir, const QColor& c)
{
    QPolygonF tri;
    tri << tip << tip + QPointF(-7 * dir, -5) << tip + QPointF(-7 * dir, 5);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPolygon(tri);
}

QImage PaintLink(const SPictureInfo& info)
{
    QImage img = NewCanvas(info.nWidth, info.nHeight, QColor(0xE3, 0xE3, 0xE3));
    QPainter p(&img);
    Prepare(p);
    const bool active = info.nFrame != 0;
    DrawHandset(p, QRectF(9.5, 2.5, 17, 29), active);
    DrawComputer(p, QRectF(188.5, 3.5, 33, 28), active);
    const qreal x0 = 33, x1 = 182, y = 17;
    if (info.nFrame >= 1 && info.nFrame <= 5) {
        const QColor green(0x23, 0x8B, 0x45);
        const qreal end = x0 + (x1 - x0) * info.nFrame / 5.0;
        QPen pen(green, 2.2, Qt::CustomDashLine, Qt::FlatCap);
        pen.setDashPattern({3, 2});
        p.setPen(pen);
        const qreal from = info.nFrame == 5 ? x0 + 7 : x0;
        const qreal to = info.nFrame == 5 ? x1 - 7 : end;
        p.drawLine(QPointF(from, y), QPointF(to, y));
        if (info.nFrame == 5) {
            DrawLinkArrowHead(p, QPointF(x0, y), -1, green);
            DrawLinkArrowHead(p, QPointF(x1, y), 1, green);
        } else {
            p.setPen(Qt::NoPen);
            p.setBrush(green);
            p.drawEllipse(QPointF(end, y), 2.4, 2.4);
        }
    } else if (info.nFrame == 6) {
        const QColor orange(0xC8, 0x5C, 0x08);
        const QString text = QString::fromLatin1(info.caption);
        const QFont f = UiFont(12, true);
        const qreal tw = QFontMetricsF(f).horizontalAdvance(text);
        const qreal mid = (x0 + x1) / 2;
        p.setPen(QPen(orange, 2.2, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(x0 + 6, y), QPointF(mid - tw / 2 - 5, y));
        p.drawLine(QPointF(mid + tw / 2 + 5, y), QPointF(x1 - 6, y));
        DrawLinkArrowHead(p, QPointF(x0, y), -1, orange);
        DrawLinkArrowHead(p, QPointF(x1, y), 1, orange);
        p.setFont(f);
        p.setPen(orange.darker(115));
        p.drawText(QRectF(mid - tw / 2 - 2, 0, tw + 4, info.nHeight), Qt::AlignCenter, text);
    } else {
        // Idle: a faint gap where the link would be.
        QPen pen(QColor(0xB8, 0xB8, 0xB8), 1.2, Qt::CustomDashLine, Qt::FlatCap);
        pen.setDashPattern({2, 4});
        p.setPen(pen);
        p.drawLine(QPointF(x0, y), QPointF(x1, y));
    }
    p.end();
    return img.convertToFormat(QImage::Format_RGB32);
}

QImage PaintPanelStatic(const SPictureInfo& info)
{
    QImage img = NewCanvas(info.nWidth, info.nHeight, QColor(0xFF, 0xFF, 0xFF));
    QPainter p(&img);
    Prepare(p);
    const QColor navy(0x1C, 0x4D, 0x8A), orange(0xE0, 0x82, 0x0C);
    if (info.nId == Res::IDB_PANEL_STATIC_HIGH) {
        // Brand mark: a handset badge and the name.
        DrawBadge(p, ICON_MODEL, QRectF(8, 10, 38, 38), navy, QColor(0xFF, 0xFF, 0xFE));
        p.setFont(UiFont(27, true));
        p.setPen(navy);
        p.drawText(QRectF(52, 4, 80, 38), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("KOVA"));
        p.fillRect(QRectF(53, 41, 74, 3), orange);
    } else {
        p.setFont(UiFont(28, true));
        p.setPen(navy);
        p.drawText(QRectF(0, 2, info.nWidth, 34), Qt::AlignCenter, QStringLiteral("QPX"));
        p.setFont(UiFont(11, false));
        p.setPen(QColor(0x5A, 0x66, 0x78));
        p.drawText(QRectF(0, 36, info.nWidth, 18), Qt::AlignCenter, QStringLiteral("CDMA Service Tool"));
    }
    p.end();
    return img.convertToFormat(QImage::Format_RGB32);
}

QImage PaintBrowse(const SPictureInfo& info)
{
    QImage img = NewCanvas(info.nWidth, info.nHeight);
    QPainter p(&img);
    Prepare(p);
    SFacePalette pal = FacePalette(info.face);
    DrawFaceBody(p, QRectF(0, 0, info.nWidth, info.nHeight), pal, 3.5);
    // A folder.
    const QColor fill = info.face == F::MouseOver ? QColor(0xF6, 0xC4, 0x4C) : QColor(0xEC, 0xBD, 0x52);
    const QColor edge(0x9A, 0x6A, 0x10);
    QPainterPath folder;
    folder.moveTo(6.5, 6.5);
    folder.lineTo(10.5, 6.5);
    folder.lineTo(12, 8);
    folder.lineTo(18.5, 8);
    folder.lineTo(18.5, 14.5);
    folder.lineTo(6.5, 14.5);
    folder.closeSubpath();
    p.setPen(QPen(edge, 1));
    p.setBrush(fill);
    p.drawPath(folder);
    p.setPen(QPen(fill.lighter(120), 1));
    p.drawLine(QPointF(7.5, 9.5), QPointF(17.5, 9.5));
    p.end();
    return Flatten(img, info.key, PAGE_BG);
}

QImage PaintToolbar(const SPictureInfo& info)
{
    const QList<const char*>& captions = Pictures::ToolbarCaptions();
    static const int icons[] = {ICON_MODEL,    ICON_PORT,      ICON_INFO, ICON_UPGRADE,  ICON_BIN,
                                ICON_SCRIPT,   ICON_PRL,       ICON_ERI,  ICON_SETTINGS, ICON_PHONEBOOK,
                                ICON_TRANSFER, ICON_REFURBISH, ICON_HELP};
    static const QColor badges[] = {
        QColor(0x1C, 0x4D, 0x8A), QColor(0x1C, 0x4D, 0x8A), QColor(0x2E, 0x6D, 0xB4),
        QColor(0x23, 0x8B, 0x45), QColor(0x23, 0x8B, 0x45), QColor(0x23, 0x8B, 0x45),
        QColor(0x8A, 0x4F, 0xB0), QColor(0x8A, 0x4F, 0xB0), QColor(0x5A, 0x66, 0x78),
        QColor(0xC8, 0x6A, 0x0C), QColor(0xC8, 0x6A, 0x0C), QColor(0xB0, 0x3A, 0x3A),
        QColor(0x2E, 0x6D, 0xB4)};
    QImage img = NewCanvas(info.nWidth, info.nHeight);
    QPainter p(&img);
    Prepare(p);
    const int cell = 47;
    for (int i = 0; i < captions.size(); ++i) {
        const qreal x = i * cell;
        const QString caption = QString::fromLatin1(captions[i]);
        // Small captions are hinted so they stay crisp; a two-word caption that does not fit on
        // one line is split over two.
        QFont font = UiFont(9, false);
        font.setHintingPreference(QFont::PreferFullHinting);
        const bool twoLines =
            caption.contains(QLatin1Char(' ')) && QFontMetricsF(font).horizontalAdvance(caption) > cell - 2;
        const qreal badge = twoLines ? 18 : 21;
        DrawBadge(p, icons[i], QRectF(x + (cell - badge) / 2, 1, badge, badge), badges[i],
                  QColor(0xFF, 0xFF, 0xFE));
        p.setPen(QColor(0x14, 0x24, 0x3C));
        // Images are cut 35 rows high; the caption stays above that line.
        if (twoLines) {
            font.setPixelSize(8);
            p.setFont(font);
            const QStringList words = caption.split(QLatin1Char(' '));
            p.drawText(QRectF(x, 19, cell, 8), Qt::AlignCenter, words.value(0));
            p.drawText(QRectF(x, 27, cell, 8), Qt::AlignCenter, words.value(1));
        } else {
            if (QFontMetricsF(font).horizontalAdvance(caption) > cell - 2)
                font.setStretch(QFont::SemiCondensed);
            p.setFont(font);
            p.drawText(QRectF(x, 23, cell, 11), Qt::AlignCenter, caption);
        }
    }
    p.end();
    return Flatten(img, info.key, TOOLBAR_BG);
}

QImage Paint(const SEntry& e)
{
    switch (e.info.kind) {
    case K::PanelButton:
        return PaintPanelButton(e.info, e.nIcon);
    case K::PanelStatic:
        return PaintPanelStatic(e.info);
    case K::PageTitle:
        return PaintTitle(e.info, e.nIcon);
    case K::LinkPicture:
        return PaintLink(e.info);
    case K::StartButton:
        return PaintStartButton(e.info, e.nIcon);
    case K::BrowseButton:
        return PaintBrowse(e.info);
    case K::Toolbar:
        return PaintToolbar(e.info);
    }
    return {};
}

struct SCache
{
    QMutex mutex;
    QHash<int, QImage> images;
};

SCache& Cache()
{
    static SCache c;
    return c;
}

} // namespace

namespace Pictures {

const SPictureInfo* Find(int resourceId)
{
    const SEntry* e = FindEntry(resourceId);
    return e ? &e->info : nullptr;
}

const QList<const char*>& ToolbarCaptions()
{
    static const QList<const char*> captions = {"Select Model", "Select Port", "Info", "Upgrade", "Bin",
                                                "Script",       "PRL",         "ERI",  "Setting", "PhoneBook",
                                                "Transfer",     "Refurbish",   "Help"};
    return captions;
}

QImage Render(int resourceId)
{
    const SEntry* e = FindEntry(resourceId);
    return e ? Paint(*e) : QImage();
}

} // namespace Pictures

QImage LoadBitmap(int resourceId)
{
    SCache& c = Cache();
    {
        QMutexLocker lock(&c.mutex);
        auto it = c.images.constFind(resourceId);
        if (it != c.images.constEnd())
            return *it;
    }
    QImage img = Pictures::Render(resourceId);
    if (img.isNull())
        return img;
    QMutexLocker lock(&c.mutex);
    c.images.insert(resourceId, img);
    return img;
}
