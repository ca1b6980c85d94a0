// Helpers every widget test shares.
#pragma once

#include <QString>
#include <QTemporaryDir>

// A fresh folder for a test's settings file, removed afterwards.
struct TempSettings {
    QTemporaryDir dir;
    QString path() const { return dir.filePath("setup.cfg"); }
};
