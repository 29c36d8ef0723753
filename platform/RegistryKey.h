#pragma once

#include <QString>
#include <cstdint>
#include <optional>

// One key of one hive. A hive is a text file of keys and typed values (32-bit integer or string),
// read on every call (never cached) and replaced atomically on every write. Any thread; a process-
// wide lock serialises the read-modify-write of one file.
class RegistryKey {
public:
    enum class Hive { User, Machine, Classes };

    RegistryKey(QString hiveFile, QString keyPath);
    // The hive's file: $TUNORA_USER_HIVE, $TUNORA_MACHINE_HIVE, $TUNORA_CLASSES_HIVE when set;
    // else $XDG_CONFIG_HOME/Tunora/Tunora.conf, /etc/xdg/Tunora/Tunora.conf and classes.conf
    // beside the machine-wide file.
    static QString HiveFile(Hive hive);

    const QString& File() const { return file_; }
    const QString& Path() const { return path_; }

    bool ValueExists(const QString& name) const;
    // Missing value: 0 / empty. A value of the other type raises "Invalid data type for '%s'".
    std::int32_t ReadInteger(const QString& name) const;
    QString ReadString(const QString& name) const;
    // A refused write (folder or file not writable) raises "Failed to set data for '%s'".
    void WriteInteger(const QString& name, std::int32_t value);
    void WriteString(const QString& name, const QString& value);
    bool DeleteValue(const QString& name);

private:
    QString file_;
    QString path_;
};
