// The program's built-in pictures: button faces and the icon, reached by their resource numbers.
#pragma once

#include <QPixmap>
#include <QString>

// Registers the built-in pictures with Qt's resource system; safe to call more than once.
void LoadDiscoloResources();

// ":/bitmap/<id>.xpm" and ":/icon/<id>.xpm" for the resource numbers of the button faces and icon.
QString BitmapResourcePath(int id);
QString IconResourcePath(int id);

// One of them as a picture (null when it is missing). Read as XPM by Qt itself: left to guess,
// Qt would load every image plugin it has (gif, ico, jpeg and libjpeg: 200 KiB) to ask each
// whether it reads the file.
QPixmap ResourcePicture(const QString& path);
