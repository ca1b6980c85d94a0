#include "settings/formsettings.h"

#include <QDebug>
#include <QLineEdit>

#include "app/frmmain.h"
#include "app/tabstrip.h"
#include "bots/botsocket.h"
#include "settings/keyring.h"
#include "settings/opensave.h"

namespace {

const QString kAllBots = QStringLiteral("All Bots");

} // namespace

void SetBotTabCaptions(frmMain& w)
{
    for (int i = 0; i < BotCount; ++i)
        w.SSTab1->setTabCaption(i + 1, QString::number(i + 1) + ": " + w.txtUsername[i]->text());
}

void Form_Load(frmMain& w)
{
    // One parse for all thirty-two values.
    const SettingsFile file(w.settingsPath());
    if (!file.loadError().isEmpty())
        qWarning().noquote()
            << QString("tenfold: settings not read from %1: %2").arg(file.path(), file.loadError());
    if (!file.loadWarning().isEmpty())
        qWarning().noquote() << QString("tenfold: %1: %2").arg(file.path(), file.loadWarning());

    for (int i = 0; i < BotCount; ++i) {
        const QString section = BotSection(i);
        w.txtUsername[i]->setText(ReadSetting(file, section, "Username", "Guest"));
        w.txtPassword[i]->setText(ReadSetting(file, section, "Password", ""));
        w.txtServer[i]->setText(ReadSetting(file, section, "Server", ""));
    }
    FillPasswordsFromKeyring(w, file);
    SetBotTabCaptions(w);
    w.txtHomeChannel->setText(ReadSetting(file, kAllBots, "Home Channel", ""));
    w.txtAntiIdle->setText(ReadSetting(file, kAllBots, "Anti Idle", ""));
}

bool SaveSettings(frmMain& w)
{
    SettingsFile file(w.settingsPath());
    // With the keyring on, the file keeps its empty passwords; one put there by
    // hand stays the bot's.
    const bool keyring = KeyringOn(file);
    for (int i = 0; i < BotCount; ++i) {
        const QString section = BotSection(i);
        file.setValue(section, "Username", w.txtUsername[i]->text());
        if (!keyring || !file.value(section, "Password").isEmpty())
            file.setValue(section, "Password", w.txtPassword[i]->text());
        file.setValue(section, "Server", w.txtServer[i]->text());
    }
    file.setValue(kAllBots, "Home Channel", w.txtHomeChannel->text());
    file.setValue(kAllBots, "Anti Idle", w.txtAntiIdle->text());
    StorePasswordsInKeyring(w, file);
    return file.saveOrWarn();
}

void SSTab1_Click(frmMain& w, int /*PreviousTab*/)
{
    SaveSettings(w);
    SetBotTabCaptions(w);
}

void Form_Unload(frmMain& w)
{
    SaveSettings(w);
    FinishKeyringStores();
    for (BotSocket* socket : w.Winsock)
        socket->Close();
}
