// What a screen reader reads for the window's text fields and labels: a field with a name of its
// own ("Track position") reads that name and then, as its value and text, what it shows
// ("03:25"); a field without one reads what it shows as its name, as any label does.
#pragma once

// Makes the player's fields and labels (StaticText, CTextLabel) read so. Call it before the
// first of them is made: accessibility looks at a label as soon as it has a text.
void InstallTextFieldAccessibility();
