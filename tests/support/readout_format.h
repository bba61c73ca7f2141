// What every time readout must look like, whatever a drive answered: "mm:ss".
#pragma once

#include <QString>

inline bool IsReadout(const QString& text) {
    return text.size() == 5 && text[0].isDigit() && text[1].isDigit() &&
           text[2] == QLatin1Char(':') && text[3].isDigit() && text[4].isDigit();
}
