// Writes the program's icon in the sizes desktops ask for, from the drawn
// 256 × 256 picture: OUTDIR/<n>x<n>/apps/qingchuanye.png for each size.
//   qcy_icon_sizes PICTURE OUTDIR SIZE...
#include <QDir>
#include <QImage>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s PICTURE OUTDIR SIZE...\n", argv[0]);
        return 2;
    }
    const QImage picture(QString::fromLocal8Bit(argv[1]));
    if (picture.isNull()) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
        return 1;
    }
    for (int i = 3; i < argc; ++i) {
        const int size = QByteArray(argv[i]).toInt();
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[2])).arg(size);
        QDir().mkpath(folder);
        const QImage icon = size == picture.width()
            ? picture
            : picture.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        if (!icon.save(folder + QStringLiteral("/qingchuanye.png"))) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
