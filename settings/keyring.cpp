#include "settings/keyring.h"

#include <QAction>
#include <QCoreApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QMessageBox>
#include <QScopeGuard>
#include <QTimer>
#include <memory>
#include <qt6keychain/keychain.h>
#include <utility>
#include <vector>

#include "app/frmmain.h"
#include "chat/showdata.h"
#include "settings/opensave.h"

namespace {

const QString kService = QStringLiteral("tenfold");

struct Answer {
    bool ok = false;
    QString value; // what a read found: empty when the keyring holds nothing for the bot
    QString why;
};
using Done = std::function<void(const Answer&)>;

// Stores started by a save and not yet answered, for the wait at shutdown.
int storesInFlight = 0;

QString reason(QString why)
{
    while (why.endsWith('.') || why.endsWith(' '))
        why.chop(1);
    return why.isEmpty() ? QString("no reason given") : why;
}

// Starts `job`; `done` gets its answer once, or a refusal after `limitMs`,
// unless `context` is gone by then. A late answer is dropped.
void run(QKeychain::Job* job, int limitMs, QObject* context, Done done)
{
    // Shared by the answer and the timer; `done` is released once called, or
    // when both are dropped with `context`.
    auto pending = std::make_shared<Done>(std::move(done));
    auto finish = [pending](const Answer& a) {
        if (Done d = std::exchange(*pending, nullptr))
            d(a);
    };
    QObject::connect(job, &QKeychain::Job::finished, context, [finish](QKeychain::Job* job) {
        // No entry is a bot without a password.
        const bool ok =
            job->error() == QKeychain::NoError || job->error() == QKeychain::EntryNotFound;
        auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(job);
        finish({ok, ok && read ? read->textData() : QString(), reason(job->errorString())});
    });
    // A coarse timer may fire up to 5% early.
    QTimer::singleShot(limitMs, Qt::PreciseTimer, context, [finish, limitMs] {
        finish({false, {}, QString("no answer within %1 seconds").arg(limitMs / 1000)});
    });
    job->start();
}

QKeychain::Job* readJob(int Index)
{
    auto* job = new QKeychain::ReadPasswordJob(kService);
    job->setKey(BotSection(Index));
    return job;
}

// An empty password is no entry at all.
QKeychain::Job* storeJob(int Index, const QString& password)
{
    QKeychain::Job* job;
    if (password.isEmpty()) {
        job = new QKeychain::DeletePasswordJob(kService);
    } else {
        auto* write = new QKeychain::WritePasswordJob(kService);
        write->setTextData(password);
        job = write;
    }
    job->setKey(BotSection(Index));
    return job;
}

// Runs one job per bot at once and waits in the event loop for all answers.
// Closing the window ends the wait; the answers not come by then are refusals.
std::vector<Answer> forAllBots(const std::function<QKeychain::Job*(int)>& make, int limitMs)
{
    std::vector<Answer> answers(BotCount);
    int left = BotCount;
    QEventLoop loop;
    for (int i = 0; i < BotCount; ++i) {
        run(make(i), limitMs, &loop, [&, i](const Answer& a) {
            answers[i] = a;
            if (--left == 0)
                loop.quit();
        });
    }
    if (left > 0)
        loop.exec();
    return answers;
}

// "bot 3: why" for the first refusal; empty when every bot's answer is good.
QString firstRefusal(const std::vector<Answer>& answers)
{
    for (int i = 0; i < BotCount; ++i) {
        if (!answers[i].ok)
            return QString("bot %1: %2").arg(i + 1).arg(answers[i].why);
    }
    return {};
}

void notGiven(frmMain& w, int Index, const QString& why)
{
    AddChat(w, Index,
            QString("The keyring did not give bot %1's password: %2.").arg(Index + 1).arg(why),
            "Red");
}

// The password the file holds for the bot; with the keyring on, one put there by hand.
QString filePassword(const SettingsFile& file, int Index)
{
    return ReadSetting(file, BotSection(Index), "Password", "");
}

} // namespace

bool KeyringOn(const SettingsFile& file)
{
    return file.value("Options", "Keyring") == u"1";
}

void ReadLoginPassword(frmMain& w, int Index, std::function<void(std::optional<QString>)> send)
{
    const SettingsFile file(w.settingsPath());
    const QString inFile = filePassword(file, Index);
    if (!KeyringOn(file) || !inFile.isEmpty()) {
        if (KeyringOn(file))
            AddChat(w, Index,
                    "This login sends the password in the settings file, not the keyring's.",
                    "Gray");
        send(inFile);
        return;
    }
    run(readJob(Index), keyring::kAnswerLimitMs, &w, [&w, Index, send](const Answer& a) {
        if (!a.ok)
            notGiven(w, Index, a.why);
        send(a.ok ? std::optional(a.value) : std::nullopt);
    });
}

void FillPasswordsFromKeyring(frmMain& w, const SettingsFile& file)
{
    if (!KeyringOn(file))
        return;
    for (int i = 0; i < BotCount; ++i) {
        if (!filePassword(file, i).isEmpty())
            continue;
        run(readJob(i), keyring::kAnswerLimitMs, &w, [&w, i](const Answer& a) {
            if (!a.ok)
                return notGiven(w, i, a.why);
            w.bot[i].keyringPassword = a.value;
            // What the operator typed meanwhile stays, to be stored by the next save.
            if (w.txtPassword[i]->text().isEmpty())
                w.txtPassword[i]->setText(a.value);
        });
    }
}

void StorePasswordsInKeyring(frmMain& w, const SettingsFile& file)
{
    if (!KeyringOn(file))
        return;
    for (int i = 0; i < BotCount; ++i) {
        if (!filePassword(file, i).isEmpty())
            continue;
        const QString field = w.txtPassword[i]->text();
        std::optional<QString>& known = w.bot[i].keyringPassword;
        // Not known (start-up's read failed): an empty field says nothing, and
        // storing it would delete what the keyring may hold.
        if (known ? *known == field : field.isEmpty())
            continue;
        known = field;
        ++storesInFlight;
        const auto counted = std::shared_ptr<int>(&storesInFlight, [](int* n) { --*n; });
        run(storeJob(i, field), keyring::kPromptLimitMs, &w, [&w, i, counted](const Answer& a) {
            if (a.ok)
                return;
            w.bot[i].keyringPassword.reset(); // stored again by the next save
            AddChat(
                w, i,
                QString("The keyring did not store bot %1's password: %2.").arg(i + 1).arg(a.why),
                "Red");
        });
    }
}

void FinishKeyringStores()
{
    QTimer bound;
    bound.setSingleShot(true);
    bound.start(keyring::kAnswerLimitMs);
    while (storesInFlight > 0 && bound.isActive())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

bool SetKeyring(frmMain& w, bool on, const QList<std::pair<QString, bool>>& switches)
{
    // The window goes on while the keyring is asked; the switch waits for this turn.
    w.mnuBot->setEnabled(false);
    const auto enable = qScopeGuard([&w] { w.mnuBot->setEnabled(true); });
    const auto refuse = [&w](const QString& text) {
        if (!w.unloaded())
            QMessageBox::warning(&w, "Bot Setup", text);
        return false;
    };
    SettingsFile file(w.settingsPath());
    if (!file.loadError().isEmpty())
        return refuse("The settings file cannot be read: " + file.loadError() + ".");
    std::vector<QString> passwords;
    for (int i = 0; i < BotCount; ++i)
        passwords.push_back(filePassword(file, i));
    const auto removeAll = [](int i) { return storeJob(i, {}); };
    for (const auto& [key, value] : switches)
        file.setValue("Options", key, value ? "1" : "0");
    QString why;

    if (on) {
        // Every secret is in the keyring before the file lets go of any.
        const std::vector<Answer> stored =
            forAllBots([&](int i) { return storeJob(i, passwords[i]); }, keyring::kPromptLimitMs);
        why = firstRefusal(stored);
        if (w.unloaded())
            return false;
        if (why.isEmpty()) {
            for (int i = 0; i < BotCount; ++i) {
                if (!passwords[i].isEmpty())
                    file.setValue(BotSection(i), "Password", "");
            }
            file.setValue("Options", "Keyring", "1");
            if (!file.save(&why))
                why = "the settings file could not be saved: " + why;
        }
        if (!why.isEmpty()) {
            forAllBots(removeAll, keyring::kAnswerLimitMs); // the keyring gives back what it took
            return refuse("The passwords stay in the settings file: " + why + ".");
        }
        for (int i = 0; i < BotCount; ++i)
            w.bot[i].keyringPassword = passwords[i];
        return true;
    }

    const std::vector<Answer> kept = forAllBots(readJob, keyring::kPromptLimitMs);
    if (w.unloaded())
        return false;
    why = firstRefusal(kept);
    if (why.isEmpty()) {
        for (int i = 0; i < BotCount; ++i) {
            if (passwords[i].isEmpty() && !kept[i].value.isEmpty())
                file.setValue(BotSection(i), "Password", kept[i].value);
        }
        file.setValue("Options", "Keyring", "0");
        if (!file.save(&why))
            why = "the settings file could not be saved: " + why;
    }
    if (!why.isEmpty())
        return refuse("The passwords stay in the desktop keyring: " + why + ".");
    for (int i = 0; i < BotCount; ++i)
        w.bot[i].keyringPassword.reset();
    why = firstRefusal(forAllBots(removeAll, keyring::kPromptLimitMs));
    if (!why.isEmpty() && !w.unloaded())
        refuse("The passwords are back in the settings file, but the desktop keyring still "
               "holds some of them: " +
               why + ".");
    return true;
}
