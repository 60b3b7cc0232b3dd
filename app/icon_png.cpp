// Converts one of the icon's drawings to a PNG that the desktop's icon theme installs: a
// 16-colour XPM as it is, or the SVG drawn at a given size.
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>
#include <cstdlib>

namespace {

QImage render(const QString &drawing, int size) {
    if (!drawing.endsWith(QLatin1String(".svg"))) return QImage(drawing);
    QSvgRenderer renderer(drawing);
    if (!renderer.isValid() || size <= 0) return {};
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    return image;
}

}  // namespace

int main(int argc, char *argv[]) {
    if (argc != 3 && argc != 4) {
        std::fputs("usage: zerediz_icon_png DRAWING.xpm|DRAWING.svg OUTPUT.png [SIZE]\n", stderr);
        return 2;
    }
    const QImage image =
        render(QString::fromLocal8Bit(argv[1]), argc == 4 ? std::atoi(argv[3]) : 0);
    if (image.isNull() || !image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "zerediz_icon_png: cannot convert %s to %s\n", argv[1], argv[2]);
        return 1;
    }
    return 0;
}
