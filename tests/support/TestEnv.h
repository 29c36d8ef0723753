#pragma once

#include <QString>
#include <QTemporaryDir>

// Points every location the program reads or writes (the three hives, the program folder, the
// runtime folder of the instance lock, XDG folders, the temporary folder) into one fresh
// temporary folder, so no test touches the real home. Restores nothing: each test process gets
// its own folders, and a new TestEnv moves them again.
class TestEnv {
public:
    TestEnv();
    QString Root() const { return dir_.path(); }
    QString ProgramDir() const;
    QString File(const QString& relative) const;

    // Registers a receiver component library in the component hive as installing it does: the
    // interface name and the library's path.
    void RegisterReceiver(const QString& library = SimulatedReceiver()) const;
    // The simulated receiver component of the build.
    static QString SimulatedReceiver();

private:
    QTemporaryDir dir_;
};
