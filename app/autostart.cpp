#include "app/autostart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

QString AutostartPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           "/autostart/tenfold.desktop";
}

bool AutostartOn()
{
    return QFileInfo::exists(AutostartPath());
}

QByteArray AutostartEntry(const QString& program)
{
    QString exec = "tenfold";
    if (program != "/usr/bin/tenfold") {
        // Quoted whole: inside quotes " ` $ and \ take a backslash, % is
        // doubled, and the string escape then doubles every backslash.
        exec = program;
        for (const char* c : {"\\", "\"", "`", "$"})
            exec.replace(c, QString("\\") + c);
        exec = QString('"' + exec + '"');
        exec.replace('%', "%%").replace('\\', "\\\\").replace('\n', "\\n");
    }
    QFile installed(":/data/tenfold.desktop");
    installed.open(QIODevice::ReadOnly);
    QByteArray entry;
    for (const QByteArray& line : installed.readAll().split('\n'))
        if (!line.isEmpty())
            entry += (line.startsWith("Exec=") ? "Exec=" + exec.toUtf8() : line) + '\n';
    return entry;
}

bool SetAutostart(bool on, QString* why)
{
    const QString path = AutostartPath();
    if (!on) {
        QFile file(path);
        if (!file.exists() || file.remove())
            return true;
        *why = file.errorString();
        return false;
    }
    if (!QDir().mkpath(QFileInfo(path).path())) {
        *why = "Cannot make the folder " + QFileInfo(path).path();
        return false;
    }
    QSaveFile file(path);
    const QByteArray entry = AutostartEntry(QCoreApplication::applicationFilePath());
    if (file.open(QIODevice::WriteOnly) &&
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                            QFile::ReadOther) &&
        file.write(entry) == entry.size() && file.flush() && file.commit())
        return true;
    *why = file.errorString();
    file.cancelWriting();
    return false;
}
