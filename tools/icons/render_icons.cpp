// Draws the window icon into the hicolor sizes an installed desktop entry
// needs: render_icons OUTDIR SIZE... writes OUTDIR/<size>x<size>/apps/tenfold.png.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>

#include "userlist/pictures.h"

int main(int argc, char** argv)
{
    // Runs during the build, where there may be no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: %s OUTDIR SIZE...\n", argv[0]);
        return 2;
    }
    for (const QString& sizeText : args.mid(2)) {
        bool ok = false;
        const int size = sizeText.toInt(&ok);
        if (!ok || size < 16 || size > 256) {
            std::fprintf(stderr, "render_icons: bad size %s\n", qPrintable(sizeText));
            return 2;
        }
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(args.at(1)).arg(size);
        const QString file = dir + "/tenfold.png";
        const QImage image = WindowIconPixmap(size).toImage();
        if (!QDir().mkpath(dir) || image.size() != QSize(size, size) || !image.save(file, "PNG")) {
            std::fprintf(stderr, "render_icons: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
