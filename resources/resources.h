// The program's built-in pictures: button faces and the icon, reached by their resource numbers.
#pragma once

#include <QString>

// Registers the built-in pictures with Qt's resource system; safe to call more than once.
void LoadDiscoloResources();

// ":/bitmap/<id>.xpm" and ":/icon/<id>.xpm" for the resource numbers of the button faces and icon.
QString BitmapResourcePath(int id);
QString IconResourcePath(int id);
