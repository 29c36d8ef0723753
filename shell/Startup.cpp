#include "shell/Startup.h"

#include <QFileInfo>

#include "Version.h"
#include "platform/Dialogs.h"
#include "platform/RegistryError.h"
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
        Dialogs::Instance().MessageBox(DialogKind::Error, QString::fromStdString(error.what()),
                                       DialogButtons::Ok);
    }
}
