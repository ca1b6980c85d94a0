#include "app/setupdialogs.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>
#include <optional>
#include <vector>

#include "app/attention.h"
#include "app/autostart.h"
#include "app/frmmain.h"
#include "app/notifier.h"
#include "bots/reconnect.h"
#include "log/logfiles.h"
#include "log/logview.h"
#include "settings/keyring.h"
#include "settings/opensave.h"

namespace {

struct Switch {
    const char* key;
    const char* caption;
    bool def;
};

using Switches = QList<std::pair<QString, bool>>;

// A modal dialog of check boxes, one per switch, as the settings file holds
// them; OK gives them all, to be written. `arrange` may tie the boxes together
// or add more.
template <class Arrange>
std::optional<Switches> switchesDialog(frmMain& w, const char* title,
                                       std::initializer_list<Switch> switches, Arrange arrange)
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
        return std::nullopt;
    Switches values;
    auto box = boxes.begin();
    for (const Switch& s : switches)
        values.append({s.key, (*box++)->isChecked()});
    return values;
}

const char kTimestamps[] = "Timestamps";
const char kLogFiles[] = "Log Files";
const char kMarkTabs[] = "Mark Tabs";
const char kNotify[] = "Notify";

} // namespace

void BotSetup(frmMain& w)
{
    const bool keyring = KeyringOn(SettingsFile(w.settingsPath()));
    bool wanted = keyring;
    const bool wasOn = AutostartOn();
    bool autostart = wasOn; // the dialog and its boxes are gone once it returns
    const auto switches = switchesDialog(
        w, "Bot Setup",
        {{"Reconnect", "Reconnect a bot whose connection drops", false},
         {"Relogin", "Then log it in again and take it back to its channel", true},
         {"Pace Lines", "Keep each bot under the server's flood limit", false},
         {"Login At Start", "Connect and log in every bot when Tenfold starts", false}},
        [&](QDialog& dialog, QVBoxLayout& layout, const std::vector<QCheckBox*>& boxes) {
            boxes[1]->setEnabled(boxes[0]->isChecked());
            QObject::connect(boxes[0], &QCheckBox::toggled, boxes[1], &QWidget::setEnabled);
            // Not an option of the settings file: the entry's file is the setting.
            auto* entry = new QCheckBox("Start Tenfold when I log in to the desktop", &dialog);
            entry->setChecked(wasOn);
            layout.addWidget(entry);
            QObject::connect(&dialog, &QDialog::accepted, entry,
                             [&autostart, entry] { autostart = entry->isChecked(); });
            // Not a plain switch: the passwords move when it changes.
            auto* box = new QCheckBox("Keep the passwords in the desktop keyring", &dialog);
            box->setChecked(keyring);
            layout.addWidget(box);
            QObject::connect(&dialog, &QDialog::accepted, box,
                             [&wanted, box] { wanted = box->isChecked(); });
        });
    if (!switches)
        return;
    // The passwords move in the same save as the switches, or nothing is written.
    if (wanted != keyring)
        SetKeyring(w, wanted, *switches);
    else
        WriteOptions(w.settingsPath(), *switches);
    ApplyReconnectOption(w);
    QString why;
    if (autostart != wasOn && !SetAutostart(!wasOn, &why))
        QMessageBox::warning(&w, "Bot Setup",
                             (wasOn ? "Could not remove " : "Could not write ") + AutostartPath() +
                                 ": " + why);
}

void ChatSetup(frmMain& w)
{
    const auto switches = switchesDialog(
        w, "Chat Setup",
        {{kTimestamps, "Show the time of each entry", false},
         {kLogFiles, "Keep a log file of each bot's chat", false},
         {kMarkTabs, "Mark tabs that have new lines", false},
         {kNotify, "Notify me of whispers, kicks, bans and lost connections", false}},
        [&w](QDialog& dialog, QVBoxLayout& layout, const std::vector<QCheckBox*>& boxes) {
            if (!Notifier::Available()) {
                auto* beside = new QHBoxLayout;
                layout.removeWidget(boxes[3]);
                beside->addWidget(boxes[3]);
                auto* none = new QLabel("(this desktop has no notification service)", &dialog);
                none->setEnabled(false);
                beside->addWidget(none, 1);
                layout.insertLayout(3, beside);
            }
            auto* row = new QHBoxLayout;
            auto* folder = new QLabel(w.logFiles->folder(), &dialog);
            folder->setTextFormat(Qt::PlainText);
            folder->setTextInteractionFlags(Qt::TextSelectableByMouse);
            folder->setAccessibleDescription("Log folder");
            auto* open = new QPushButton("Open Folder", &dialog);
            open->setAutoDefault(false);
            QObject::connect(open, &QPushButton::clicked, &dialog, [&w] {
                // Made first: a folder that does not exist yet cannot be shown.
                QString why;
                if (w.logFiles->makeFolder(&why))
                    QDesktopServices::openUrl(QUrl::fromLocalFile(w.logFiles->folder()));
                else
                    qWarning().noquote() << "tenfold:" << why;
            });
            row->addWidget(folder, 1);
            row->addWidget(open);
            // Below the box it belongs to.
            layout.insertLayout(2, row);
        });
    if (!switches)
        return;
    WriteOptions(w.settingsPath(), *switches);
    // Set again, Log Files start afresh for bots whose writing failed.
    for (int i = 0; i < BotCount; ++i)
        w.logFiles->reset(i);
    ApplyChatOptions(w);
}

void ApplyChatOptions(frmMain& w)
{
    const bool times = ReadOption(w.settingsPath(), kTimestamps, false);
    const bool files = ReadOption(w.settingsPath(), kLogFiles, false);
    w.attention->setOptions(ReadOption(w.settingsPath(), kMarkTabs, false),
                            ReadOption(w.settingsPath(), kNotify, false));
    for (int i = 0; i < BotCount; ++i) {
        w.txtChatBox[i]->setTimestamps(times);
        LogFiles* logFiles = w.logFiles;
        w.txtChatBox[i]->setEntryTap(
            files ? LogView::EntryTap([logFiles, i](const EntryTime& t, std::string_view text) {
                logFiles->write(i, t, text);
            })
                  : LogView::EntryTap());
    }
    // Off at once: no file stays open, written to by nothing.
    if (!files)
        w.logFiles->close();
}
