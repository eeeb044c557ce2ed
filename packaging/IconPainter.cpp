// Draws the program's icon for the desktop menu and writes it as PNG files of the hicolor theme:
//   qpx-icon-painter <output folder> <icon name> <size>...
// writes <output folder>/<size>x<size>/apps/<icon name>.png for every size. The icon is a handset
// with a lit screen and a service arrow on a rounded tile, drawn from shapes alone (no text, no
// image files), so it needs no display and no fonts.
#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

namespace {

// All coordinates are on a 256-unit square; the painter scales them to the size asked for.
void PaintIcon(QPainter& p)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);

    // The tile.
    QLinearGradient tile(0, 8, 0, 248);
    tile.setColorAt(0, QColor(0x1F, 0x5F, 0xA8));
    tile.setColorAt(1, QColor(0x0D, 0x2E, 0x5C));
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(8, 8, 240, 240), 44, 44);

    // The handset: antenna, body, screen, keypad.
    p.setBrush(QColor(0xE8, 0xEC, 0xF2));
    p.drawRoundedRect(QRectF(146, 30, 14, 40), 6, 6);
    p.drawRoundedRect(QRectF(70, 56, 100, 172), 20, 20);
    QLinearGradient screen(0, 76, 0, 140);
    screen.setColorAt(0, QColor(0x7F, 0xE0, 0xD0));
    screen.setColorAt(1, QColor(0x2A, 0xA8, 0x98));
    p.setBrush(screen);
    p.drawRoundedRect(QRectF(84, 74, 72, 64), 8, 8);
    p.setBrush(QColor(0x4A, 0x5A, 0x70));
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col)
            p.drawRoundedRect(QRectF(86 + col * 24, 154 + row * 22, 18, 14), 4, 4);
    }

    // The service arrow: a ring with an arrow head, over the lower right corner.
    p.setBrush(QColor(0xF5, 0x9E, 0x1B));
    p.drawEllipse(QPointF(186, 186), 50, 50);
    QPen ring(QColor(0xFF, 0xFF, 0xFF), 12, Qt::SolidLine, Qt::RoundCap);
    p.setPen(ring);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(158, 158, 56, 56), 100 * 16, 280 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    QPainterPath head;
    head.moveTo(176, 142);
    head.lineTo(200, 160);
    head.lineTo(174, 176);
    head.closeSubpath();
    p.drawPath(head);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: qpx-icon-painter <output folder> <icon name> <size>...\n");
        return 1;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int i = 3; i < argc; ++i) {
        const int size = QString::fromLatin1(argv[i]).toInt();
        if (size < 16 || size > 1024) {
            std::fprintf(stderr, "qpx-icon-painter: bad size %s\n", argv[i]);
            return 1;
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter p(&image);
            p.scale(size / 256.0, size / 256.0);
            PaintIcon(p);
        }
        const QString folder = out + QStringLiteral("/%1x%1/apps").arg(size);
        const QString file = folder + QLatin1Char('/') + name + QStringLiteral(".png");
        if (!QDir().mkpath(folder) || !image.save(file, "PNG")) {
            std::fprintf(stderr, "qpx-icon-painter: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
