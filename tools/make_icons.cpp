// Writes the program's icon for the desktop: PNG pictures in the hicolor sizes and the scalable SVG, all
// drawn from the skin's art. Usage: make_icons OUTPUT_FOLDER ICON_NAME
#include "skin/SkinArt.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_icons OUTPUT_FOLDER ICON_NAME\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256, 512}) {
        const QString folder = out + QStringLiteral("/%1x%1/apps").arg(size);
        QDir().mkpath(folder);
        if (!SkinArt::AppIcon(size).save(folder + QLatin1Char('/') + name + QStringLiteral(".png")))
            return 1;
    }
    QDir().mkpath(out + QStringLiteral("/scalable/apps"));
    QFile svg(out + QStringLiteral("/scalable/apps/") + name + QStringLiteral(".svg"));
    if (!svg.open(QIODevice::WriteOnly) || svg.write(SkinArt::AppIconSvg()) < 0)
        return 1;
    return 0;
}
