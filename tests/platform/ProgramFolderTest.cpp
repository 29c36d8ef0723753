#include <gtest/gtest.h>

#include <QFileInfo>
#include <cstdlib>

#include "platform/ProgramFolder.h"
#include "tests/support/TestEnv.h"

// An overriding folder is used as given, without a trailing slash; without it the executable's
// (writable) folder is the program folder.
TEST(ProgramFolder, OverrideThenExecutableFolder) {
    TestEnv env;
    ::setenv("TUNORA_PROGRAM_DIR", (env.ProgramDir() + "//").toLocal8Bit().constData(), 1);
    EXPECT_EQ(ProgramFolder::Path(), env.ProgramDir());
    ::unsetenv("TUNORA_PROGRAM_DIR");
    EXPECT_EQ(ProgramFolder::Path(), QFileInfo(ProgramFolder::ExecutablePath()).absolutePath());
    EXPECT_FALSE(ProgramFolder::Path().endsWith(QLatin1Char('/')));
}

// An executable in a folder the user cannot write keeps its tables under XDG_DATA_HOME/tunora,
// which is created.
TEST(ProgramFolder, UnwritableExecutableFolderFallsBackToDataHome) {
    TestEnv env;
    ::unsetenv("TUNORA_PROGRAM_DIR");
    const QString folder = ProgramFolder::PathFor("/nonexistent/bin/tunora");
    EXPECT_EQ(folder, env.File("data/tunora"));
    EXPECT_TRUE(QFileInfo(folder).isDir());
    ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(ProgramFolder::PathFor("/nonexistent/bin/tunora"),
              env.File("home/.local/share/tunora"));
}
