// Renders an SVG icon into a square PNG for the hicolor theme's fixed sizes:
//     qmt_icon_png ICON.svg SIZE OUT.png
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>

#include <cstdio>

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: qmt_icon_png ICON.svg SIZE OUT.png\n");
        return 2;
    }
    const int size = QString::fromLocal8Bit(argv[2]).toInt();
    QImageReader reader(QString::fromLocal8Bit(argv[1]));
    reader.setScaledSize(QSize(size, size)); // drawn at the size, not scaled from another
    QImage image = reader.read();
    if (image.isNull() || image.size() != QSize(size, size)) {
        std::fprintf(stderr, "qmt_icon_png: %s: %s\n", argv[1], qPrintable(reader.errorString()));
        return 1;
    }
    QImageWriter writer(QString::fromLocal8Bit(argv[3]), "png");
    if (!writer.write(image.convertToFormat(QImage::Format_ARGB32))) {
        std::fprintf(stderr, "qmt_icon_png: %s: %s\n", argv[3], qPrintable(writer.errorString()));
        return 1;
    }
    return 0;
}
