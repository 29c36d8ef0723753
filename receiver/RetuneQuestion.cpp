#include "receiver/RetuneQuestion.h"

#include "platform/Dialogs.h"
#include "receiver/TMainControl.h"

bool ConfirmRetune(const TMainControl& control, std::int32_t serviceId) {
    if (!control.CanUseService(serviceId, true)) {
        Dialogs::Instance().MessageBox(
            DialogKind::Error,
            QStringLiteral("Unable to retune.\n\rStop recording first or select a service on the "
                           "current multiplex."),
            DialogButtons::Cancel);
        return false;
    }
    return control.CanUseService(serviceId, false) ||
           Dialogs::Instance().MessageBox(
               DialogKind::Warning,
               QStringLiteral("A service on the current multiplex in being streamed..\n\rDo you "
                              "want to stop streaming and retune?"),
               DialogButtons::OkCancel) == DialogResult::Ok;
}
