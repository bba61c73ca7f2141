// What a screen reader reads for a text field that carries a name of its own: the name ("Track
// position") and, as the field's value and text, what it shows ("03:25"). Fields without a name
// keep Qt's own reading, in which the text is the name.
#pragma once

class QWidget;

// Marks a label so that screen readers read `name` and then its text. Call it before anything
// has asked for the label's accessible interface.
void NameTextField(QWidget* label, const char* name);
