#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <climits>
#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/RegistryError.h"
#include "platform/RegistryKey.h"
#include "tests/support/TestEnv.h"

namespace {

const QString kKey = "\\Software\\Tunora\\Tunora";

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

std::string ErrorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const RegistryError& e) {
        return e.what();
    }
    return "(no error)";
}

}  // namespace

// Every string (escapes, line breaks, Latin-1, characters beyond the BMP, lone surrogates) and
// every 32-bit integer reads back exactly, through a fresh key object, from a readable file.
TEST(RegistryKey, ValuesRoundTripExactly) {
    TestEnv env;
    const QString file = RegistryKey::HiveFile(RegistryKey::Hive::User);
    RegistryKey key(file, kKey);

    const QList<QString> texts = {
        QString(),
        "plain",
        "say \"hi\" C:\\dir\\ \\\" end\\",
        "Unable to retune.\n\rStop recording first\ttab",
        QString::fromLatin1("caf\xe9 \xfc\xdf \xa0nbsp \x7f \x85"),
        QString::fromUtf8("\xe2\x82\xac \xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x98\x80"),
        QString(QChar(0)) + QStringLiteral("nul \x01\x1f"),
        QString(QChar(0xD800)) + "x" + QString(QChar(0xDC00)),
        "  blanks at both ends  ",
    };
    for (int i = 0; i < texts.size(); ++i) {
        key.WriteString(QStringLiteral("S%1").arg(i), texts[i]);
    }
    const QList<std::int32_t> numbers = {0, 1, -1, 320, INT_MAX, INT_MIN};
    for (int i = 0; i < numbers.size(); ++i) {
        key.WriteInteger(QStringLiteral("I%1").arg(i), numbers[i]);
    }
    key.WriteString(QString(), "IViadabRx");
    key.WriteString("we\"ird\\name\n", "v");

    RegistryKey again(file, "Software\\Tunora\\Tunora");
    for (int i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(again.ReadString(QStringLiteral("S%1").arg(i)), texts[i]) << i;
    }
    for (int i = 0; i < numbers.size(); ++i) {
        EXPECT_EQ(again.ReadInteger(QStringLiteral("I%1").arg(i)), numbers[i]) << i;
    }
    EXPECT_EQ(again.ReadString(QString()), "IViadabRx");
    EXPECT_EQ(again.ReadString("we\"ird\\name\n"), "v");

    const QByteArray bytes = FileBytes(file);
    EXPECT_TRUE(bytes.contains("[Software\\Tunora\\Tunora]\n"));
    EXPECT_TRUE(bytes.contains("\n\"I2\"=dword:ffffffff\n"));
    EXPECT_TRUE(bytes.contains("\n\"S3\"=\"Unable to retune.\\n\\rStop recording first\\ttab\"\n"));
    EXPECT_TRUE(bytes.contains("\n\"S5\"=\"\xe2\x82\xac"));  // non-ASCII stays readable UTF-8
}

// A missing value (or a missing file) reads as 0 / empty and does not exist; writing it once
// makes it exist; deleting removes just that value.
TEST(RegistryKey, MissingValuesAndDeletion) {
    TestEnv env;
    RegistryKey key(RegistryKey::HiveFile(RegistryKey::Hive::Machine), kKey);
    EXPECT_FALSE(key.ValueExists("ServerPort"));
    EXPECT_FALSE(QFile::exists(key.File()));

    key.WriteInteger("ServerPort", 8080);
    key.WriteString("ServerPassword", "abc");
    EXPECT_TRUE(key.ValueExists("ServerPort"));
    EXPECT_TRUE(key.ValueExists("serverport"));  // registry names ignore case
    key.WriteInteger("SERVERPORT", 81);
    EXPECT_EQ(key.ReadInteger("ServerPort"), 81);

    EXPECT_TRUE(key.DeleteValue("ServerPort"));
    EXPECT_FALSE(key.DeleteValue("ServerPort"));
    EXPECT_FALSE(key.ValueExists("ServerPort"));
    EXPECT_EQ(key.ReadString("ServerPassword"), "abc");
}

// Reading a value as the other type (or an unknown type) raises the registry's exact error text.
TEST(RegistryKey, WrongTypeRaisesInvalidDataType) {
    TestEnv env;
    RegistryKey key(RegistryKey::HiveFile(RegistryKey::Hive::User), kKey);
    key.WriteInteger("Width", 320);
    key.WriteString("Playing", "$C0DE");
    EXPECT_EQ(ErrorOf([&] { key.ReadString("Width"); }), "Invalid data type for 'Width'");
    EXPECT_EQ(ErrorOf([&] { key.ReadInteger("Playing"); }), "Invalid data type for 'Playing'");

    WriteBytes(key.File(), FileBytes(key.File()) + "\"Blob\"=hex:01,02\n\"Bad\"=dword:123456789\n");
    EXPECT_TRUE(key.ValueExists("Blob"));
    EXPECT_EQ(ErrorOf([&] { key.ReadInteger("Blob"); }), "Invalid data type for 'Blob'");
    EXPECT_EQ(ErrorOf([&] { key.ReadString("Bad"); }), "Invalid data type for 'Bad'");
    EXPECT_EQ(ErrorOf([&] { key.ReadInteger("Bad"); }), "Invalid data type for 'Bad'");
}

// A write the system refuses (folder cannot be made, file system read-only) raises
// "Failed to set data for '<name>'" and leaves nothing behind.
TEST(RegistryKey, RefusedWriteRaisesFailedToSetData) {
    TestEnv env;
    const QString blocker = env.File("etc/blocker");
    WriteBytes(blocker, "a file where a folder should be");
    RegistryKey underFile(blocker + "/Tunora/Tunora.conf", kKey);
    EXPECT_EQ(ErrorOf([&] { underFile.WriteInteger("ServerPort", 1); }),
              "Failed to set data for 'ServerPort'");
    EXPECT_EQ(FileBytes(blocker), QByteArray("a file where a folder should be"));
    // Reading through the blocked path is not an error: the value simply does not exist.
    EXPECT_EQ(underFile.ReadInteger("ServerPort"), 0);

    RegistryKey inProc("/proc/self/Tunora.conf", kKey);
    EXPECT_EQ(ErrorOf([&] { inProc.WriteInteger("TimerEnabled", 1); }),
              "Failed to set data for 'TimerEnabled'");
}

// Two keys share one file: each sees only its own values, writes to one leave the other's values
// and unknown lines (comments, other types, bytes that are not UTF-8, CR LF ends) exactly as they
// were, and hand edits are seen at once.
TEST(RegistryKey, KeysShareAFileWithoutDisturbingEachOther) {
    TestEnv env;
    const QString file = RegistryKey::HiveFile(RegistryKey::Hive::Classes);
    WriteBytes(file,
               "; hand-written caf\xe9\r\n"
               "[Interface\\{7C3A9E10-4B2D-4F6A-9C1E-2D8B5A7F0E31}]\r\n"
               "@=\"IViadabRx\"\r\n"
               "\"Blob\"=hex:de,ad\xff\xfe\r\n"
               "\r\n"
               "[Other]\r\n"
               "# note \x80\n");
    RegistryKey iface(file, "\\Interface\\{7c3a9e10-4b2d-4f6a-9c1e-2d8b5a7f0e31}");
    RegistryKey other(file, "Other");
    RegistryKey fresh(file, "Software\\New");
    EXPECT_EQ(iface.ReadString(QString()), "IViadabRx");
    EXPECT_FALSE(other.ValueExists(QString()));

    other.WriteString(QString(), "x");
    other.WriteInteger("N", 7);
    fresh.WriteInteger("N", 9);
    iface.WriteString("Path", "/usr/lib/libsim.so");

    EXPECT_EQ(iface.ReadString(QString()), "IViadabRx");
    EXPECT_EQ(other.ReadString(QString()), "x");
    EXPECT_EQ(other.ReadInteger("N"), 7);
    EXPECT_EQ(fresh.ReadInteger("N"), 9);
    EXPECT_FALSE(iface.ValueExists("N"));
    EXPECT_EQ(FileBytes(file), QByteArray("; hand-written caf\xe9\r\n"
                                          "[Interface\\{7C3A9E10-4B2D-4F6A-9C1E-2D8B5A7F0E31}]\r\n"
                                          "@=\"IViadabRx\"\r\n"
                                          "\"Blob\"=hex:de,ad\xff\xfe\r\n"
                                          "\"Path\"=\"/usr/lib/libsim.so\"\n"
                                          "\r\n"
                                          "[Other]\r\n"
                                          "# note \x80\n"
                                          "@=\"x\"\n"
                                          "\"N\"=dword:00000007\n"
                                          "\n"
                                          "[Software\\New]\n"
                                          "\"N\"=dword:00000009\n"));

    WriteBytes(file, "[Other]\n\"N\"=dword:0000000A\n");
    EXPECT_EQ(other.ReadInteger("N"), 10);
}

// A write replaces the file by rename (a new inode; an open reader keeps the complete old
// content) and leaves no temporary file in the folder.
TEST(RegistryKey, WritesReplaceTheFileAtomically) {
    TestEnv env;
    RegistryKey key(RegistryKey::HiveFile(RegistryKey::Hive::User), kKey);
    key.WriteInteger("Width", 320);
    const QByteArray before = FileBytes(key.File());
    struct stat st1 {};
    ASSERT_EQ(::stat(key.File().toLocal8Bit().constData(), &st1), 0);
    QFile reader(key.File());
    ASSERT_TRUE(reader.open(QIODevice::ReadOnly));

    key.WriteInteger("Width", 400);
    struct stat st2 {};
    ASSERT_EQ(::stat(key.File().toLocal8Bit().constData(), &st2), 0);
    EXPECT_NE(st1.st_ino, st2.st_ino);
    EXPECT_EQ(reader.readAll(), before);
    EXPECT_EQ(key.ReadInteger("Width"), 400);
    EXPECT_EQ(QDir(QFileInfo(key.File()).absolutePath())
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"Tunora.conf"});
}

// Threads writing different values at the same time lose none of them.
TEST(RegistryKey, ConcurrentWritersLoseNothing) {
    TestEnv env;
    const QString file = RegistryKey::HiveFile(RegistryKey::Hive::User);
    constexpr int kThreads = 6;
    constexpr int kWrites = 40;
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&file, t] {
                RegistryKey key(file, kKey);
                for (int i = 0; i < kWrites; ++i) {
                    key.WriteInteger(QStringLiteral("T%1_%2").arg(t).arg(i), t * 1000 + i);
                }
            });
        }
    }
    RegistryKey key(file, kKey);
    for (int t = 0; t < kThreads; ++t) {
        for (int i = 0; i < kWrites; ++i) {
            EXPECT_EQ(key.ReadInteger(QStringLiteral("T%1_%2").arg(t).arg(i)), t * 1000 + i);
        }
    }
}

// Hive files come from the environment when set, else from the XDG locations; the component
// registry sits beside the machine-wide file.
TEST(RegistryKey, HiveFilesFollowTheEnvironment) {
    TestEnv env;
    EXPECT_EQ(RegistryKey::HiveFile(RegistryKey::Hive::User),
              env.File("config/Tunora/Tunora.conf"));
    ::unsetenv("TUNORA_CLASSES_HIVE");
    ::setenv("TUNORA_MACHINE_HIVE", "/opt/side/machine.conf", 1);
    EXPECT_EQ(RegistryKey::HiveFile(RegistryKey::Hive::Classes), "/opt/side/classes.conf");
    ::unsetenv("TUNORA_MACHINE_HIVE");
    ::unsetenv("TUNORA_USER_HIVE");
    ::setenv("XDG_CONFIG_HOME", "/xdg/conf", 1);
    EXPECT_EQ(RegistryKey::HiveFile(RegistryKey::Hive::User), "/xdg/conf/Tunora/Tunora.conf");
    EXPECT_EQ(RegistryKey::HiveFile(RegistryKey::Hive::Machine), "/etc/xdg/Tunora/Tunora.conf");
    EXPECT_EQ(RegistryKey::HiveFile(RegistryKey::Hive::Classes), "/etc/xdg/Tunora/classes.conf");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(RegistryKey::HiveFile(RegistryKey::Hive::User),
              env.File("home/.config/Tunora/Tunora.conf"));
}
