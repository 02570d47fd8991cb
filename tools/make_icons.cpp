// Draws the application icon (a database drum with a gold band, the art of
// gui/resources/icon128.png) afresh at each size the desktop asks for, so a
// 16-pixel icon keeps crisp rims and a 256-pixel one keeps smooth curves
// instead of being one bitmap stretched:
//   vantoly_make_icons OUT_FOLDER NAME SIZE...
// writes OUT_FOLDER/SIZExSIZE/apps/NAME.png for each SIZE.
#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/AtomicFile.h"

namespace {

// The art is laid out on a 32-unit square, as the original icon was.
constexpr double kArt = 32.0;
constexpr double kLeft = 5, kRight = 27, kTop = 7, kBottom = 25, kCapHeight = 3;
const QColor kBody(60, 110, 200);
const QColor kRim(20, 40, 90);
const QColor kBand(230, 180, 40);

// Darker towards the sides, as light falls on a cylinder.
QLinearGradient Shading(const QColor& colour, double unit) {
    QLinearGradient gradient(kLeft * unit, 0, kRight * unit, 0);
    gradient.setColorAt(0.0, colour.darker(154));
    gradient.setColorAt(0.5, colour);
    gradient.setColorAt(1.0, colour.darker(154));
    return gradient;
}

// The drum's side between two heights: straight sides, the lower edge
// following the front of the ellipse.
QPainterPath Side(double top, double bottom, double unit) {
    const double width = (kRight - kLeft) * unit, height = 2 * kCapHeight * unit;
    QPainterPath path;
    path.moveTo(kLeft * unit, top * unit);
    path.arcTo(QRectF(kLeft * unit, (top - kCapHeight) * unit, width, height), 180, 180);
    path.lineTo(kRight * unit, bottom * unit);
    path.arcTo(QRectF(kLeft * unit, (bottom - kCapHeight) * unit, width, height), 0, -180);
    path.closeSubpath();
    return path;
}

QImage DrawIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const double unit = size / kArt;
    // The rim stays at least one pixel wide, so the small icons keep their outline.
    QPen rim(kRim, std::max(1.0, 1.2 * unit));
    rim.setJoinStyle(Qt::RoundJoin);

    painter.setPen(Qt::NoPen);
    painter.setBrush(Shading(kBody, unit));
    painter.drawPath(Side(kTop, kBottom, unit));
    const double middle = (kTop + kBottom) / 2;
    painter.setBrush(Shading(kBand, unit));
    painter.drawPath(Side(middle - 1.5, middle + 1.5, unit));

    painter.setPen(rim);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(Side(kTop, kBottom, unit));
    painter.setBrush(kBody.lighter(130));
    painter.drawEllipse(QRectF(kLeft * unit, (kTop - kCapHeight) * unit, (kRight - kLeft) * unit,
                               2 * kCapHeight * unit));
    painter.end();
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: vantoly_make_icons OUT_FOLDER NAME SIZE...\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int index = 3; index < argc; ++index) {
        const int size = std::atoi(argv[index]);
        if (size < 8 || size > 1024) {
            std::fprintf(stderr, "vantoly_make_icons: not an icon size: %s\n", argv[index]);
            return 2;
        }
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(out).arg(size);
        const QString file = folder + QLatin1Char('/') + name + QStringLiteral(".png");
        QByteArray png;
        QBuffer buffer(&png);
        if (!buffer.open(QIODevice::WriteOnly) || !DrawIcon(size).save(&buffer, "PNG") ||
            !QDir().mkpath(folder)) {
            std::fprintf(stderr, "vantoly_make_icons: cannot draw %s\n", qPrintable(file));
            return 1;
        }
        const platform::FileStatus written = platform::WriteFileWhole(
            file.toStdString(), std::string_view(png.constData(), png.size()), 0644);
        if (!written.Succeeded()) {
            std::fprintf(stderr, "vantoly_make_icons: %s\n", written.message.c_str());
            return 1;
        }
    }
    return 0;
}
