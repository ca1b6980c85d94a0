#include "chat/chatlog.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>

namespace {

// Text inserted without a colour of its own: distinct from White and Gray entries.
const QColor kOrdinaryText(200, 200, 200);

} // namespace

std::optional<QColor> ColourOf(const QString& strColor)
{
    struct Named {
        const char* name;
        QColor colour;
    };
    static const Named colours[] = {
        {"Red", QColor(255, 0, 0)},       {"Green", QColor(0, 255, 0)},
        {"White", QColor(255, 255, 255)}, {"Yellow", QColor(255, 255, 0)},
        {"Blue", QColor(0, 0, 255)},      {"Gray", QColor(128, 128, 128)},
    };
    for (const Named& c : colours)
        if (strColor == QLatin1String(c.name))
            return c.colour;
    return std::nullopt;
}

void ConfigureChatLog(QPlainTextEdit& log)
{
    log.setReadOnly(true);
    log.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    log.setUndoRedoEnabled(false);
    log.setLineWrapMode(QPlainTextEdit::WidgetWidth);
    log.setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);

    QPalette pal = log.palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Base, Qt::black);
        pal.setColor(group, QPalette::Window, Qt::black);
        pal.setColor(group, QPalette::Text, kOrdinaryText);
    }
    log.setPalette(pal);
    log.document()->setDocumentMargin(4);
    // The log is what the operator reads all day: a size larger than the
    // controls' small dialog font.
    QFont font = log.font();
    font.setPointSize(std::max(9, font.pointSize()));
    log.setFont(font);
}

bool CaretAtStart(const QPlainTextEdit& log)
{
    return log.textCursor().selectionStart() == 0;
}

void AppendEntry(QPlainTextEdit& log, const QString& text, const QColor& colour)
{
    QScrollBar* bar = log.verticalScrollBar();
    const int scrolledTo = bar->value();
    const bool following = scrolledTo >= bar->maximum();

    // A fresh cursor at the end: finding the end does not read the text.
    QTextCursor end(log.document());
    end.movePosition(QTextCursor::End);
    QTextCharFormat format;
    if (colour.isValid())
        format.setForeground(colour);
    // CR LF becomes the one paragraph break of the entry, in the entry's format.
    end.insertText(text + QLatin1String("\r\n"), format);

    // The caret follows the entry (the talk form depends on it); setting it
    // scrolls the view to it, so the operator's scroll position is put back.
    log.setTextCursor(end);
    log.setCurrentCharFormat(QTextCharFormat());
    if (following)
        bar->setValue(bar->maximum());
    else
        bar->setValue(scrolledTo);
}

void AddChat(QPlainTextEdit& log, const QString& strText, const QString& strColor)
{
    AppendEntry(log, strText, ColourOf(strColor).value_or(QColor()));
}
