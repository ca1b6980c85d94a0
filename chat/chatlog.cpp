// PLACEHOLDER: replaced by the chat log implementation.
#include "chat/chatlog.h"
#include <QPlainTextEdit>
std::optional<QColor> ColourOf(const QString&) { return std::nullopt; }
void ConfigureChatLog(QPlainTextEdit& log) { log.setReadOnly(true); }
bool CaretAtStart(const QPlainTextEdit& log) { return log.textCursor().position() == 0; }
void AppendEntry(QPlainTextEdit& log, const QString& text, const QColor&) { log.appendPlainText(text); }
void AddChat(QPlainTextEdit& log, const QString& t, const QString&) { AppendEntry(log, t, {}); }
