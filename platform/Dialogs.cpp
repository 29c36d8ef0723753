#include "platform/Dialogs.h"

#include <exception>

#include "platform/HeadlessDialogs.h"

namespace {
HeadlessDialogs headless;
Dialogs* installed = nullptr;
}  // namespace

Dialogs& Dialogs::Instance() {
    return installed ? *installed : headless;
}

Dialogs* Dialogs::Install(Dialogs* dialogs) {
    Dialogs* previous = installed ? installed : &headless;
    installed = dialogs;
    return previous;
}

DialogResult Dialogs::NegativeAnswer(DialogButtons buttons) {
    switch (buttons) {
        case DialogButtons::Ok:
            return DialogResult::Ok;
        case DialogButtons::OkCancel:
        case DialogButtons::Cancel:
        case DialogButtons::YesNoCancel:
            return DialogResult::Cancel;
        case DialogButtons::YesNo:
            return DialogResult::No;
        case DialogButtons::Abort:
            return DialogResult::Abort;
        case DialogButtons::Ignore:
        case DialogButtons::AbortRetryIgnore:
            return DialogResult::Ignore;
    }
    return DialogResult::Cancel;
}

QString Dialogs::KindName(DialogKind kind) {
    switch (kind) {
        case DialogKind::Plain:
            return QStringLiteral("message");
        case DialogKind::Information:
            return QStringLiteral("information");
        case DialogKind::Warning:
            return QStringLiteral("warning");
        case DialogKind::Error:
            return QStringLiteral("error");
        case DialogKind::Confirmation:
            return QStringLiteral("confirmation");
    }
    return {};
}

void Dialogs::ShowFailures(const std::function<void()>& work) {
    try {
        work();
    } catch (const std::exception& error) {
        Instance().MessageBox(DialogKind::Error, QString::fromLocal8Bit(error.what()),
                              DialogButtons::Ok);
    }
}
