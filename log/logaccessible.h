// What assistive technology meets in a chat log: an editable-text role, read
// only and multi-line, with its text, caret, selection and each entry's
// colour through the text interface, as Qt's own text views offer them.
#pragma once

// Registers the log's accessibility with Qt; harmless when called again.
void InstallLogAccessibility();

class QAccessibleEvent;

// Whether the log tells assistive technology of its changes: while a screen
// reader runs, or while a test catches them.
bool LogEventsWanted();
// Hands one of the log's events to assistive technology.
void SendLogEvent(QAccessibleEvent& event);
// Tests: the log's events go to `sink` instead, as if a screen reader ran
// (the offscreen platform never has one); nullptr ends it.
void CatchLogEventsForTests(void (*sink)(QAccessibleEvent*));
