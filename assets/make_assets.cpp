// Paints the product's pictures: the About banner, the program icon and the link's hand cursor.
// The PNGs in this folder are this program's output; run assets/generate.sh after a change here.

#include <QColor>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

namespace {

// 330 x 100, 24-bit colour, no alpha: the strip across the top of the About dialog.
QImage paintBanner()
{
    QImage image(330, 100, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 330, 100);
    sky.setColorAt(0.0, QColor(16, 42, 92));
    sky.setColorAt(1.0, QColor(22, 120, 140));
    p.fillRect(image.rect(), sky);

    // A fan of pages on the right: many files changed at once.
    for (int i = 0; i < 5; ++i) {
        const QRectF page(232 + i * 14, 14 + i * 6, 40, 52);
        p.setPen(QPen(QColor(20, 40, 70), 1));
        p.setBrush(QColor(250, 250, 245 - i * 8));
        p.drawRect(page);
        p.setPen(QPen(QColor(120, 150, 190), 2));
        for (int line = 0; line < 5; ++line) {
            const qreal y = page.top() + 10 + line * 8;
            p.drawLine(QPointF(page.left() + 6, y), QPointF(page.right() - 6 - (line % 2) * 8, y));
        }
        p.setPen(QPen(QColor(240, 150, 30), 3));
        const qreal y = page.top() + 18;
        p.drawLine(QPointF(page.left() + 6, y), QPointF(page.left() + 24, y));
    }

    QFont title(QStringLiteral("WenQuanYi Micro Hei"));
    title.setPixelSize(30);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRectF(16, 18, 230, 40), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Orvane Replace"));

    QFont tagline(QStringLiteral("WenQuanYi Micro Hei"));
    tagline.setPixelSize(12);
    p.setFont(tagline);
    p.setPen(QColor(200, 225, 240));
    p.drawText(QRectF(18, 60, 220, 20), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("One edit, thousands of files"));
    p.end();
    return image.convertToFormat(QImage::Format_RGB888);
}

// 32 x 32 in 256 colours: a page with lines of text and an orange stroke being rewritten.
QImage paintIcon()
{
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    QPainterPath page;
    page.moveTo(5.5, 2.5);
    page.lineTo(20.5, 2.5);
    page.lineTo(26.5, 8.5);
    page.lineTo(26.5, 29.5);
    page.lineTo(5.5, 29.5);
    page.closeSubpath();
    p.setPen(QPen(QColor(16, 42, 92), 1));
    p.setBrush(Qt::white);
    p.drawPath(page);
    p.setBrush(QColor(200, 215, 235));
    p.drawPolygon(QPolygonF({ QPointF(20.5, 2.5), QPointF(20.5, 8.5), QPointF(26.5, 8.5) }));

    p.setPen(QPen(QColor(22, 120, 140), 2));
    for (int y : { 12, 16, 24 })
        p.drawLine(QPointF(9, y), QPointF(23, y));
    p.setPen(QPen(QColor(240, 150, 30), 3));
    p.drawLine(QPointF(9, 20), QPointF(20, 20));
    p.end();
    return image.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
}

// 32 x 32 in 16 colours: a hand with the index finger pointing up; the fingertip is at (13, 1).
QImage paintHand()
{
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);

    QPainterPath hand;
    hand.setFillRule(Qt::WindingFill);
    hand.addRoundedRect(QRectF(11.5, 1.5, 5, 16), 2.5, 2.5); // index finger
    hand.addRoundedRect(QRectF(16.5, 10.5, 4, 9), 2, 2); // middle finger
    hand.addRoundedRect(QRectF(20.5, 11.5, 4, 9), 2, 2); // ring finger
    hand.addRoundedRect(QRectF(24.5, 13.5, 3.5, 8), 1.75, 1.75); // little finger
    hand.addRoundedRect(QRectF(11.5, 14.5, 16.5, 14), 3, 3); // palm
    QPainterPath thumb;
    thumb.moveTo(12, 17);
    thumb.lineTo(6, 13);
    thumb.lineTo(4, 15);
    thumb.lineTo(11.5, 25);
    thumb.closeSubpath();
    hand = hand.united(thumb).simplified();

    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawPath(hand);
    // Knuckle creases so the fingers read as fingers.
    p.drawLine(QPointF(16.5, 15), QPointF(16.5, 18));
    p.drawLine(QPointF(20.5, 15), QPointF(20.5, 18));
    p.drawLine(QPointF(24.5, 16), QPointF(24.5, 18));
    p.end();

    QList<QRgb> sixteen;
    for (QRgb c : { 0x00000000u, 0xff000000u, 0xffffffffu, 0xff808080u, 0xffc0c0c0u, 0xff800000u,
                    0xff008000u, 0xff808000u, 0xff000080u, 0xff800080u, 0xff008080u, 0xffff0000u,
                    0xff00ff00u, 0xffffff00u, 0xff0000ffu, 0xffff00ffu })
        sixteen.append(c);
    return image.convertToFormat(QImage::Format_Indexed8, sixteen, Qt::ThresholdDither);
}

bool save(const QImage &image, const QDir &dir, const char *name)
{
    const QString path = dir.filePath(QString::fromLatin1(name));
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    // Painting needs fonts but no screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const bool ok = save(paintBanner(), out, "banner.png") && save(paintIcon(), out, "icon.png")
        && save(paintHand(), out, "hand.png");
    return ok ? 0 : 1;
}
