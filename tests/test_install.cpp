// Installing the build into a scratch prefix gives the program, its desktop
// entry and its icon, and the manifest that uninstalling reads lists them all.
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Installed as a component of its own so that the install writes its own
// manifest and leaves install_manifest.txt, which a real uninstall reads, alone.
const QString kComponent = "Unspecified";

QStringList filesUnder(const QString& root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    files.sort();
    return files;
}

} // namespace

class TestInstall : public QObject {
    Q_OBJECT
    QTemporaryDir m_prefix;

    QString installed(const QString& relative) const { return m_prefix.filePath(relative); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_prefix.isValid());
        QProcess cmake;
        cmake.setProcessChannelMode(QProcess::MergedChannels);
        cmake.start(TENFOLD_CMAKE, {"--install", TENFOLD_BUILD_DIR, "--prefix", m_prefix.path(),
                                    "--component", kComponent});
        QVERIFY(cmake.waitForFinished(120000));
        QVERIFY2(cmake.exitStatus() == QProcess::NormalExit && cmake.exitCode() == 0,
                 cmake.readAll().constData());
    }

    void theProgram()
    {
        const QFileInfo program(installed("bin/tenfold"));
        QVERIFY(program.isFile());
        QVERIFY(program.isExecutable());
    }

    void theDesktopEntry()
    {
        QFile file(installed("share/applications/tenfold.desktop"));
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        const QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
        QCOMPARE(lines.first(), QString("[Desktop Entry]"));
        QMap<QString, QString> entry;
        for (const QString& line : lines.mid(1)) {
            if (line.isEmpty() || line.startsWith('#'))
                continue;
            const qsizetype eq = line.indexOf('=');
            QVERIFY2(eq > 0 && !entry.contains(line.left(eq)), qPrintable(line));
            entry.insert(line.left(eq), line.mid(eq + 1));
        }
        QCOMPARE(entry.value("Type"), QString("Application"));
        QVERIFY(!entry.value("Name").isEmpty());
        QCOMPARE(entry.value("Exec").section(' ', 0, 0), QString("tenfold"));
        QCOMPARE(entry.value("Icon"), QString("tenfold"));
        QCOMPARE(entry.value("Terminal"), QString("false"));
        const QString categories = entry.value("Categories");
        QVERIFY(categories.endsWith(';'));
        QVERIFY(categories.split(';').contains("Network"));
        QVERIFY(categories.split(';').contains("Chat"));
    }

    void theIcons_data()
    {
        QTest::addColumn<int>("size");
        for (int size : {16, 24, 32, 48, 64, 128, 256})
            QTest::addRow("%dx%d", size, size) << size;
    }
    void theIcons()
    {
        QFETCH(int, size);
        const QImage icon(
            installed(QString("share/icons/hicolor/%1x%1/apps/tenfold.png").arg(size)));
        QVERIFY(!icon.isNull());
        QCOMPARE(icon.size(), QSize(size, size));
        QVERIFY(icon.hasAlphaChannel());
        // Drawn, not blank: the middle of the icon is opaque.
        QCOMPARE(qAlpha(icon.pixel(size / 2, size / 2)), 255);
    }

    void theManifestListsEveryInstalledFile()
    {
        QFile manifest(QString(TENFOLD_BUILD_DIR) + "/install_manifest_" + kComponent + ".txt");
        QVERIFY(manifest.open(QIODevice::ReadOnly | QIODevice::Text));
        QStringList listed = QString::fromUtf8(manifest.readAll()).split('\n', Qt::SkipEmptyParts);
        listed.sort();
        QCOMPARE(listed, filesUnder(m_prefix.path()));
        QCOMPARE(listed.size(), 1 + 1 + 7);
    }
};

QTEST_MAIN(TestInstall)
#include "test_install.moc"
