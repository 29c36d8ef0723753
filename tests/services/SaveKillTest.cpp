#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QThread>

#include "tests/support/TestEnv.h"

namespace {

// Every file under `folder` by its path relative to it.
QHash<QString, QByteArray> Files(const QString& folder) {
    QHash<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
        files.insert(QDir(folder).relativeFilePath(file.fileName()), file.readAll());
    }
    return files;
}

// Runs the saving child to its end; how long it took (ms).
qint64 SaveOnce(const QString& folder, int version) {
    QDir().mkpath(folder);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(QProcess::execute(QStringLiteral(SAVE_CHILD), {folder, QString::number(version)}), 0);
    return timer.elapsed();
}

}  // namespace

// A process killed (SIGKILL) at random points while it saves the tables, a settings hive, an icon
// and the schedule over and over leaves every file whole: each is the old or the new version,
// never a partial one, and no other file is left behind.
TEST(SaveKill, EveryFileIsOneWholeVersion) {
    TestEnv env;
    const QString versions[] = {env.File(QStringLiteral("v0")), env.File(QStringLiteral("v1"))};
    const qint64 round = std::max(SaveOnce(versions[0], 0), SaveOnce(versions[1], 1));
    const QHash<QString, QByteArray> whole[] = {Files(versions[0]), Files(versions[1])};
    ASSERT_EQ(whole[0].size(), 5);  // Services.csv, Ensemble.csv, the hive, the icon, Schedule.csv

    const QString folder = env.File(QStringLiteral("killed"));
    QDir().mkpath(folder);
    QRandomGenerator random(18);
    const QRegularExpression temporary(QStringLiteral("^(.+)\\.[A-Za-z0-9]{6}$"));
    int checked = 0;
    for (int run = 0; run < 30; ++run) {
        QProcess child;
        child.start(QStringLiteral(SAVE_CHILD), {folder, QStringLiteral("loop")});
        ASSERT_TRUE(child.waitForStarted());
        QThread::msleep(static_cast<unsigned long>(random.bounded(2 * round + 1)));
        child.kill();
        ASSERT_TRUE(child.waitForFinished());
        const QHash<QString, QByteArray> files = Files(folder);
        for (auto it = files.cbegin(); it != files.cend(); ++it) {
            // A kill between a temporary's creation and its rename leaves the temporary (the
            // name plus six characters) beside the untouched file: nobody reads it.
            if (const auto match = temporary.match(it.key());
                match.hasMatch() && whole[0].contains(match.captured(1))) {
                continue;
            }
            ASSERT_TRUE(whole[0].contains(it.key())) << "left behind: " << it.key().toStdString();
            EXPECT_TRUE(it.value() == whole[0][it.key()] || it.value() == whole[1][it.key()])
                << it.key().toStdString() << " is partial after run " << run;
            ++checked;
        }
    }
    EXPECT_GT(checked, 0);
}
