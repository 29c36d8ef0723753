#include "shell/Startup.h"

#include <QFileInfo>

#include "Version.h"
#include "platform/Dialogs.h"
#include "platform/RegistryError.h"
#include "platform/RegistryKey.h"
#include "services/TSettingsWrapper.h"

bool Startup::IsRecodeCommand(const QStringList& arguments) {
    return arguments.size() >= 2 && arguments[1].toUpper() == u"RECODE";
}

void Startup::WriteProgramIdentity(TSettingsWrapper& settings, const QString& executable) {
    try {
        settings.WriteString(Setting::Executable, executable);
        settings.WriteString(Setting::Directory, QFileInfo(executable).absolutePath() + u'/');
        settings.WriteString(Setting::Version, QString::fromLatin1(TunoraVersion));
    } catch (const RegistryError&) {
        // No right to the machine-wide hive: the values are informative only.
    }
}

void Startup::ReportInvalidSettings(TSettingsWrapper& settings, Dialogs& dialogs) {
    for (const QString& error : settings.TakeInvalidValues()) {
        dialogs.MessageBox(DialogKind::Error, error, DialogButtons::Ok);
    }
}

void Startup::ApplyShowCommand(TSettingsWrapper& settings, int showCommand) {
    try {
        if (showCommand == 3) {
            settings.WriteBool(Setting::HideBar, false);
        } else if (showCommand == 7) {
            settings.WriteBool(Setting::HideBar, true);
        }
    } catch (const RegistryError& error) {
        // The bar then opens as "HideBar" already says; the user learns why.
        Dialogs::Instance().MessageBox(DialogKind::Error, QString::fromLocal8Bit(error.what()),
                                       DialogButtons::Ok);
    }
}

namespace {

// The machine-wide values the first start creates, with their defaults.
constexpr int kDefaultServerPort = 8080;
constexpr int kPasswordLength = 16;

}  // namespace

QStringList Startup::CreateMachineDefaults(RegistryKey& machineKey) {
    QStringList written;
    const QString port = Setting::ServerPort.Text();
    if (!machineKey.ValueExists(port)) {
        machineKey.WriteInteger(port, kDefaultServerPort);
        written.append(port);
    }
    const QString password = Setting::ServerPassword.Text();
    if (!machineKey.ValueExists(password)) {
        machineKey.WriteString(password, TSettingsWrapper::GeneratePassword(kPasswordLength));
        written.append(password);
    }
    return written;
}

bool Startup::ReportMissingMachineDefaults(const TSettingsWrapper& settings,
                                           const QString& registerCommand) {
    QStringList missing;
    bool portExists = false;
    try {
        portExists = settings.ValueExists(Setting::ServerPort);
        for (const SettingName name : {Setting::ServerPort, Setting::ServerPassword}) {
            if (!settings.ValueExists(name)) {
                missing.append(u'"' + name.Text() + u'"');
            }
        }
    } catch (const RegistryError&) {
        // An unreadable hive is reported where its values are read.
        return false;
    }
    if (missing.isEmpty()) {
        return false;
    }
    const QString text =
        QStringLiteral(
            "The machine-wide setting%1 %2 %3 missing and this user may not create "
            "%4 in %5, so the HTTP server %6.\n\rCreate %4 once with: sudo %7 --defaults")
            .arg(missing.size() > 1 ? QStringLiteral("s") : QString(),
                 missing.join(QStringLiteral(" and ")),
                 missing.size() > 1 ? QStringLiteral("are") : QStringLiteral("is"),
                 missing.size() > 1 ? QStringLiteral("them") : QStringLiteral("it"),
                 RegistryKey::HiveFile(RegistryKey::Hive::Machine),
                 portExists ? QStringLiteral("has no password") : QStringLiteral("is off"),
                 registerCommand);
    Dialogs::Instance().MessageBox(DialogKind::Warning, text, DialogButtons::Ok);
    return true;
}
