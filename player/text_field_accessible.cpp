// The accessible side of the player's text fields: a static text whose value and text are what
// it draws, read afresh at every question, and whose name is its own when it has one.
#include "player/text_field_accessible.h"

#include "app/text_label.h"
#include "player/static_text.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>

namespace {

class TextFieldAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit TextFieldAccessible(QLabel* label)
        : QAccessibleWidget(label, QAccessible::StaticText) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value) {
            return Shown();
        }
        if (kind == QAccessible::Name && widget()->accessibleName().isEmpty()) {
            return Shown();
        }
        return QAccessibleWidget::text(kind);
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) {
            return static_cast<QAccessibleTextInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }

    // The text, read only: no selection, no cursor.
    void selection(int, int* startOffset, int* endOffset) const override {
        *startOffset = 0;
        *endOffset = 0;
    }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int startOffset, int endOffset) const override {
        if (startOffset < 0 || endOffset < startOffset) {
            return QString();
        }
        return Shown().mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return static_cast<int>(Shown().size()); }
    QRect characterRect(int) const override { return QRect(); }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* startOffset, int* endOffset) const override {
        *startOffset = 0;
        *endOffset = characterCount();
        return QString();
    }

private:
    // What the field draws: a static field shows a doubled ampersand once.
    QString Shown() const {
        auto* label = static_cast<QLabel*>(widget());
        if (dynamic_cast<StaticText*>(label) != nullptr) {
            return PrefixedDisplayText(label->text());
        }
        return label->text();
    }
};

QAccessibleInterface* TextFieldFactory(const QString& /*className*/, QObject* object) {
    auto* label = qobject_cast<QLabel*>(object);
    if (label != nullptr && (dynamic_cast<StaticText*>(label) != nullptr ||
                             dynamic_cast<CTextLabel*>(label) != nullptr)) {
        return new TextFieldAccessible(label);
    }
    return nullptr;
}

} // namespace

void InstallTextFieldAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(TextFieldFactory);
        return true;
    }();
    (void)installed;
}
