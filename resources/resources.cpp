// Registration of the built-in pictures. A static library would drop the resource data that
// nothing names, so the window asks for it here by name.
#include "resources/resources.h"

#include <QImage>
#include <QImageReader>
#include <QtGlobal>

static void InitDiscoloQrc() {
    Q_INIT_RESOURCE(discolo);
}

void LoadDiscoloResources() {
    [[maybe_unused]] static const bool loaded = (InitDiscoloQrc(), true);
}

QString BitmapResourcePath(int id) {
    return QStringLiteral(":/bitmap/%1.xpm").arg(id);
}

QString IconResourcePath(int id) {
    return QStringLiteral(":/icon/%1.xpm").arg(id);
}

QPixmap ResourcePicture(const QString& path) {
    QImageReader reader(path, "xpm");
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}
