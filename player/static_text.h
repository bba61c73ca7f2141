// A static text control as the dialog manager draws one: its window text stays exactly as set
// (the bound value, doubled ampersands included), while the text drawn takes "&&" as one "&"
// and a single "&" as the mark of a mnemonic, which is not drawn.
#pragma once

#include <QLabel>
#include <QString>

// The text a static control without the no-prefix style shows for its window text.
QString PrefixedDisplayText(const QString& windowText);

class StaticText : public QLabel {
public:
    // The text is plain: whatever it holds is never read as markup.
    explicit StaticText(const QString& text = QString(), QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
