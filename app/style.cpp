#include "app/style.h"

#include <QApplication>
#include <QFont>
#include <QProxyStyle>

namespace {

class ConsoleStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

void InstallConsoleStyle(QApplication& app)
{
    app.setStyle(new ConsoleStyle(QStringLiteral("Windows")));
    // The layout has fixed sizes made for a narrow 8-point dialog font; a
    // desktop's own (often larger) font would clip the captions.
    QFont font(QStringLiteral("Liberation Sans"), 8);
    font.setStyleHint(QFont::SansSerif);
    app.setFont(font);
}
