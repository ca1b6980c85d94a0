// Desktop notifications through the freedesktop notification service on the
// session bus, at most one per bot at a time: what comes within the quiet
// time after it replaces it and counts how many more came.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <array>

class Notifier : public QObject {
    Q_OBJECT
public:
    explicit Notifier(QObject* parent = nullptr);

    // Whether the session bus has a notification service (running or startable).
    static bool Available();
    // Tests only: the quiet time after a bot's notification (10 s).
    static void SetQuietMs(int ms);

    // `body` is plain text; it is escaped, as services read a markup subset.
    void notify(int bot, const QString& summary, const QString& body, const QString& category);
    // No call to the service is waiting for its answer.
    bool idle() const;

signals:
    // The operator chose a bot's notification.
    void activated(int bot);

private slots:
    void actionInvoked(uint id, const QString& action);

private:
    struct Shown {
        QElapsedTimer since; // the first notification of this quiet time
        uint id = 0;         // the service's, once it answered
        bool waiting = false;
        bool due = false; // a replacement waits for the id
        int more = 0;
        QString summary, body, category;
    };
    void send(int bot);

    std::array<Shown, 10> m_shown;
};
