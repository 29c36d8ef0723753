#include "shell/QtDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace {

QMessageBox::StandardButtons ButtonsOf(DialogButtons buttons) {
    switch (buttons) {
        case DialogButtons::Ok:
            return QMessageBox::Ok;
        case DialogButtons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case DialogButtons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case DialogButtons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case DialogButtons::Cancel:
            return QMessageBox::Cancel;
        case DialogButtons::Abort:
            return QMessageBox::Abort;
        case DialogButtons::Ignore:
            return QMessageBox::Ignore;
        case DialogButtons::AbortRetryIgnore:
            return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    }
    return QMessageBox::Ok;
}

DialogResult ResultOf(int button, DialogButtons buttons) {
    switch (button) {
        case QMessageBox::Ok:
            return DialogResult::Ok;
        case QMessageBox::Cancel:
            return DialogResult::Cancel;
        case QMessageBox::Yes:
            return DialogResult::Yes;
        case QMessageBox::No:
            return DialogResult::No;
        case QMessageBox::Abort:
            return DialogResult::Abort;
        case QMessageBox::Retry:
            return DialogResult::Retry;
        case QMessageBox::Ignore:
            return DialogResult::Ignore;
        default:
            return Dialogs::NegativeAnswer(buttons);
    }
}

QMessageBox::Icon IconOf(DialogKind kind) {
    switch (kind) {
        case DialogKind::Information:
            return QMessageBox::Information;
        case DialogKind::Warning:
            return QMessageBox::Warning;
        case DialogKind::Error:
            return QMessageBox::Critical;
        case DialogKind::Confirmation:
            return QMessageBox::Question;
        case DialogKind::Plain:
            return QMessageBox::NoIcon;
    }
    return QMessageBox::NoIcon;
}

// "Name|*.ext|Name|*.ext" pairs into Qt's "Name (*.ext);;..." list.
QStringList QtFilters(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        out.append(parts[i] + QStringLiteral(" (") + parts[i + 1] + u')');
    }
    return out;
}

// The extension of the `index`-th (1-based) pattern of "Name|*.ext|..." pairs, as it stands
// ("ogg" for "*.ogg"); empty when the pattern names no single extension.
QString FilterExtension(const QString& filter, int index) {
    const QStringList parts = filter.split(u'|');
    const qsizetype at = qsizetype(index) * 2 - 1;
    if (index < 1 || at >= parts.size()) {
        return {};
    }
    const QString pattern = parts[at].trimmed();
    if (!pattern.startsWith(QStringLiteral("*.")) || pattern.contains(u';')) {
        return {};
    }
    const QString extension = pattern.mid(2);
    if (extension.isEmpty() || extension.contains(u'*') || extension.contains(u'?')) {
        return {};
    }
    return extension;
}

}  // namespace

DialogResult QtDialogs::MessageBox(DialogKind kind, const QString& text, DialogButtons buttons) {
    // The texts use "\n\r" for a break; Qt draws the carriage return as a second break.
    QString shown = text;
    shown.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
    QMessageBox box(IconOf(kind), QStringLiteral("Tunora"), shown, ButtonsOf(buttons));
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    return ResultOf(box.exec(), buttons);
}

std::optional<SaveFileAnswer> QtDialogs::SaveFile(const SaveFileRequest& request) {
    const QStringList filters = QtFilters(request.filter);
    QFileDialog dialog(nullptr, request.title, request.initialDir,
                       filters.join(QStringLiteral(";;")));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
    if (!request.defaultExtension.isEmpty()) {
        dialog.setDefaultSuffix(request.defaultExtension);
    }
    if (request.filterIndex >= 1 && request.filterIndex <= filters.size()) {
        dialog.selectNameFilter(filters[request.filterIndex - 1]);
    }
    // A name typed without an extension gets the one of the file type the user chose, so that
    // choosing "Ogg Vorbis" records name.ogg; until a type is chosen, the caller's default.
    QObject::connect(
        &dialog, &QFileDialog::filterSelected, &dialog,
        [&dialog, &filters, &request](const QString& chosen) {
            const QString extension =
                FilterExtension(request.filter, int(filters.indexOf(chosen)) + 1);
            dialog.setDefaultSuffix(extension.isEmpty() ? request.defaultExtension : extension);
        });
    if (!request.fileName.isEmpty()) {
        dialog.selectFile(request.fileName);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return SaveFileAnswer{dialog.selectedFiles().first(),
                          int(filters.indexOf(dialog.selectedNameFilter())) + 1};
}

std::optional<QString> QtDialogs::BrowseFolder(const QString& title, const QString& initialDir) {
    const QString folder = QFileDialog::getExistingDirectory(nullptr, title, initialDir);
    if (folder.isEmpty()) {
        return std::nullopt;
    }
    return folder;
}
