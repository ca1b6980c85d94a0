// What assistive technology meets in a chat log: an editable-text role, read
// only and multi-line, with its text, caret, selection and each entry's
// colour through the text interface, as Qt's own text views offer them.
#pragma once

// Registers the log's accessibility with Qt; harmless when called again.
void InstallLogAccessibility();
