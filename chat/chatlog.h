// A bot's chat log: AddChat and the append procedure that every entry follows.
#pragma once

#include <QColor>
#include <QString>
#include <initializer_list>
#include <optional>

class LogView;

// The six colours of the log's entries.
namespace colours {
constexpr QColor Red(255, 0, 0), Green(0, 255, 0), White(255, 255, 255), Yellow(255, 255, 0),
    Blue(0, 0, 255), Gray(128, 128, 128);
}

// The colour of one of the six colour names ("Red", "Green", "White",
// "Yellow", "Blue", "Gray"), matched exactly; nullopt for any other text.
std::optional<QColor> ColourOf(const QString& strColor);

// Sets up a log view: black background, the ordinary text colour, and a font
// larger than the controls' small dialog font.
void ConfigureChatLog(LogView& log);

// True when the log's caret (the start of its selection) stands before its
// first character: always so for an empty log.
bool CaretAtStart(const LogView& log);

// Appends one entry, `text` and a line break, all in `colour`, at the end of
// the log, whatever the operator selected; afterwards the caret stands behind
// the entry with no selection. A view that follows the end shows the entry; one
// the operator scrolled up stays where it is. An invalid colour shows the entry
// in the log's ordinary text colour. The cost does not depend on the log's length.
void AppendEntry(LogView& log, const QString& text, const QColor& colour);
// The same for an entry made of pieces, which are not joined first.
void AppendEntry(LogView& log, std::initializer_list<QStringView> pieces, const QColor& colour);

// Appends one entry in a named colour.
void AddChat(LogView& log, const QString& strText, const QString& strColor);
