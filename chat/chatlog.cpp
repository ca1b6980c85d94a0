#include "chat/chatlog.h"

#include "log/logview.h"

namespace {

// Text shown without a colour of its own: distinct from White and Gray entries.
const QColor kOrdinaryText(200, 200, 200);

} // namespace

std::optional<QColor> ColourOf(const QString& strColor)
{
    struct Named {
        const char* name;
        QColor colour;
    };
    static constexpr Named named[] = {
        {"Red", colours::Red},   {"Green", colours::Green}, {"White", colours::White},
        {"Yellow", colours::Yellow}, {"Blue", colours::Blue},   {"Gray", colours::Gray},
    };
    for (const Named& c : named)
        if (strColor == QLatin1String(c.name))
            return c.colour;
    return std::nullopt;
}

void ConfigureChatLog(LogView& log)
{
    QPalette pal = log.palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Base, Qt::black);
        pal.setColor(group, QPalette::Window, Qt::black);
        pal.setColor(group, QPalette::Text, kOrdinaryText);
    }
    log.setPalette(pal);
    // The log is what the operator reads all day: a size larger than the
    // controls' small dialog font.
    QFont font = log.font();
    font.setPointSize(std::max(9, font.pointSize()));
    log.setFont(font);
}

bool CaretAtStart(const LogView& log)
{
    return log.selectionStart() == 0;
}

void AppendEntry(LogView& log, const QString& text, const QColor& colour)
{
    log.append({text}, colour);
}

void AppendEntry(LogView& log, std::initializer_list<QStringView> pieces, const QColor& colour)
{
    log.append(pieces, colour);
}

void AddChat(LogView& log, const QString& strText, const QString& strColor)
{
    AppendEntry(log, strText, ColourOf(strColor).value_or(QColor()));
}
