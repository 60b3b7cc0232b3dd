// Converts one of the icon's drawings to the PNG that the desktop's icon theme installs.
#include <QImage>
#include <cstdio>

int main(int argc, char *argv[]) {
    if (argc != 3) {
        std::fputs("usage: zerediz_icon_png DRAWING.xpm OUTPUT.png\n", stderr);
        return 2;
    }
    const QImage image(QString::fromLocal8Bit(argv[1]));
    if (image.isNull() || !image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "zerediz_icon_png: cannot convert %s to %s\n", argv[1], argv[2]);
        return 1;
    }
    return 0;
}
