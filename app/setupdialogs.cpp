#include "app/setupdialogs.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QVBoxLayout>
#include <vector>

#include "app/frmmain.h"
#include "settings/opensave.h"

namespace {

struct Switch {
    const char* key;
    const char* caption;
    bool def;
};

// A modal dialog of check boxes, one per switch, as the settings file holds
// them; OK writes them all. `arrange` may tie the boxes together or add more.
template <class Arrange>
void switchesDialog(frmMain& w, const char* title, std::initializer_list<Switch> switches,
                    Arrange arrange)
{
    QDialog dialog(&w);
    dialog.setWindowTitle(title);
    auto* layout = new QVBoxLayout(&dialog);
    std::vector<QCheckBox*> boxes;
    for (const Switch& s : switches) {
        auto* box = new QCheckBox(s.caption, &dialog);
        box->setChecked(ReadOption(w.settingsPath(), s.key, s.def));
        layout->addWidget(box);
        boxes.push_back(box);
    }
    arrange(dialog, *layout, boxes);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QList<std::pair<QString, bool>> values;
    auto box = boxes.begin();
    for (const Switch& s : switches)
        values.append({s.key, (*box++)->isChecked()});
    WriteOptions(w.settingsPath(), values);
}

} // namespace

void BotSetup(frmMain& w)
{
    switchesDialog(w, "Bot Setup",
                   {{"Reconnect", "Reconnect a bot whose connection drops", false},
                    {"Relogin", "Then log it in again and take it back to its channel", true}},
                   [](QDialog&, QVBoxLayout&, const std::vector<QCheckBox*>& boxes) {
                       boxes[1]->setEnabled(boxes[0]->isChecked());
                       QObject::connect(boxes[0], &QCheckBox::toggled, boxes[1],
                                        &QWidget::setEnabled);
                   });
}
