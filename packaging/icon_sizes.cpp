// discolo_icon_sizes: writes the program's 32 x 32 icon as PNG files at the sizes a desktop's
// icon theme asks for, in the theme's layout (16x16/apps/org.discolo.Discolo.png ...).
//
// Whole multiples of 32 repeat each pixel, so the icon keeps its pixel look at 64, 128 and 256.
// Smaller sizes average the pixels each new pixel covers. 48 is 1.5 times 32: each pixel is
// first repeated three times, then every 2 x 2 block averaged, so pixel edges fall on the new
// grid or soften by half a step instead of some pixels coming out twice as wide as others.
#include <QDir>
#include <QImage>
#include <QString>

#include <cstdio>

namespace {

constexpr int kSourceSize = 32;
constexpr int kSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

// Averages whole blocks: each new pixel covers factor x factor old ones, weighted by alpha.
QImage AverageBlocks(const QImage& image, int factor) {
    const QImage source = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage result(source.width() / factor, source.height() / factor,
                  QImage::Format_ARGB32_Premultiplied);
    const int count = factor * factor;
    for (int y = 0; y < result.height(); ++y) {
        for (int x = 0; x < result.width(); ++x) {
            int sum[4] = {0, 0, 0, 0};
            for (int dy = 0; dy < factor; ++dy) {
                for (int dx = 0; dx < factor; ++dx) {
                    const QRgb pixel = source.pixel(x * factor + dx, y * factor + dy);
                    sum[0] += qRed(pixel);
                    sum[1] += qGreen(pixel);
                    sum[2] += qBlue(pixel);
                    sum[3] += qAlpha(pixel);
                }
            }
            auto mean = [count](int total) { return (total + count / 2) / count; };
            result.setPixel(x, y, qRgba(mean(sum[0]), mean(sum[1]), mean(sum[2]), mean(sum[3])));
        }
    }
    return result.convertToFormat(QImage::Format_ARGB32);
}

QImage Repeat(const QImage& image, int factor) {
    return image.scaled(image.size() * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

QImage AtSize(const QImage& icon, int size) {
    if (size % kSourceSize == 0) {
        return Repeat(icon, size / kSourceSize);
    }
    // The smallest whole multiple of the icon that the target size divides, then averaged down.
    for (int factor = 1; factor <= size; ++factor) {
        if (kSourceSize * factor % size == 0) {
            return AverageBlocks(Repeat(icon, factor), kSourceSize * factor / size);
        }
    }
    return {};
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: discolo_icon_sizes ICON.xpm THEME-FOLDER NAME\n");
        return 2;
    }
    const QImage icon =
        QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_ARGB32);
    if (icon.size() != QSize(kSourceSize, kSourceSize)) {
        std::fprintf(stderr, "discolo_icon_sizes: %s: not a %d x %d picture\n", argv[1],
                     kSourceSize, kSourceSize);
        return 1;
    }
    const QString output = QString::fromLocal8Bit(argv[2]);
    const QString name = QString::fromLocal8Bit(argv[3]);
    for (const int size : kSizes) {
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(output).arg(size);
        const QString file = QStringLiteral("%1/%2.png").arg(folder, name);
        const QImage scaled = AtSize(icon, size);
        if (scaled.size() != QSize(size, size) || !QDir().mkpath(folder) ||
            !scaled.save(file, "PNG")) {
            std::fprintf(stderr, "discolo_icon_sizes: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
