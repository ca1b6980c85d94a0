// A bot's chat log: a read-only plain-text view whose entries each have one colour.
#pragma once

#include <QColor>
#include <QString>
#include <optional>

class QPlainTextEdit;

// The colour of one of the six colour names ("Red", "Green", "White",
// "Yellow", "Blue", "Gray"), matched exactly; nullopt for any other text.
std::optional<QColor> ColourOf(const QString& strColor);

// Sets up a log view: read-only (select and copy, no typing), black background,
// no undo history (the log only grows; a history would double its memory).
void ConfigureChatLog(QPlainTextEdit& log);

// True when the log's caret (the start of its selection) stands before its
// first character: always so for an empty log.
bool CaretAtStart(const QPlainTextEdit& log);

// Appends one entry, `text` and CR LF, all in `colour`, at the end of the log,
// whatever the operator selected; afterwards the caret stands behind the entry
// with no selection, and text typed there would take the log's ordinary colour.
// A view at its bottom follows the entry; one scrolled up stays where it is.
// An invalid colour shows the entry in the log's ordinary text colour.
// The cost does not depend on the log's length.
void AppendEntry(QPlainTextEdit& log, const QString& text, const QColor& colour);

// Appends one entry in a named colour.
void AddChat(QPlainTextEdit& log, const QString& strText, const QString& strColor);
