#include "windows/TServicePropertiesForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <exception>

#include "platform/Dialogs.h"
#include "platform/ProgramFolder.h"
#include "services/TServiceTablesWrapper.h"
#include "services/TSettingsWrapper.h"
#include "shell/GuiImages.h"
#include "windows/TServicePictures.h"

namespace {

constexpr int kPictureSize = 32;
constexpr std::int32_t kVirtualSecondary = 16;

QLineEdit* ReadOnlyEdit(const QString& text, QWidget* parent) {
    auto* edit = new QLineEdit(text, parent);
    edit->setReadOnly(true);
    return edit;
}

}  // namespace

TServicePropertiesForm* TServicePropertiesForm::ShowProperties(std::int32_t serviceId,
                                                               TServiceTablesWrapper& tables,
                                                               TSettingsWrapper& settings,
                                                               QWidget* owner) {
    auto* form = new TServicePropertiesForm(serviceId, tables, settings, owner);
    form->show();
    return form;
}

QString TServicePropertiesForm::SecondaryText(std::int32_t secondary) {
    if (secondary == 0) {
        return QStringLiteral("Primary service");
    }
    return QStringLiteral("SCIdS ") + QString::number(secondary) +
           (secondary >= kVirtualSecondary ? QStringLiteral(" (virtual)") : QString());
}

TServicePropertiesForm::TServicePropertiesForm(std::int32_t serviceId,
                                               TServiceTablesWrapper& tables,
                                               TSettingsWrapper& settings, QWidget* owner)
    : QWidget(owner, Qt::Window),
      tables_(tables),
      serviceId_(serviceId),
      sid_(tables.GetServiceSId(serviceId)),
      key_(tables.GetServiceKey(serviceId, true, u':')),
      locations_(TDesktopLauncher::Locations()) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Tunora - Service Properties"));
    setWindowIcon(GuiImages::MainIcon());

    Pages = new QTabWidget(this);
    Pages->addTab(MakeGeneralPage(), QStringLiteral("General"));
    Pages->addTab(MakeShortcutPage(), QStringLiteral("Shortcut"));
    CloseButton = new QPushButton(QStringLiteral("&Close"), this);
    connect(CloseButton, &QPushButton::clicked, this, &QWidget::close);

    const auto picture = Pictures().LoadServicePicture(serviceId, kPictureSize);
    const QPixmap pixmap =
        picture ? QPixmap::fromImage(GuiImages::FromBitmap(*picture)) : QPixmap();
    IconImage1->setPixmap(pixmap);
    IconImage2->setPixmap(pixmap);

    ServiceNameEdit1->setText(tables.GetServiceDisplayName(serviceId));
    ServiceNameEdit2->setText(tables.GetServiceLabel(serviceId));
    IDDecEdit->setText(QString::number(sid_));
    IDHexEdit->setText(u'$' + QStringLiteral("%1").arg(sid_, 4, 16, QChar(u'0')).toUpper());
    SecondaryEdit->setText(SecondaryText(tables.GetServiceSecondary(serviceId)));
    GenreEdit->setText(tables.GetServiceProgrammeTypeName(serviceId));
    MultiplexEdit->setText(tables.GetServiceEnsembleLabel(serviceId));
    FreqEdit->setText(QString::number(tables.GetServiceFrequency(serviceId), 'g',
                                      QLocale::FloatingPointShortest) +
                      QStringLiteral(" MHz  (") + tables.GetServiceChannel(serviceId) + u')');
    FavouriteCheckBox->setChecked(settings.IsFavourite(serviceId));
    for (const TLauncherLocation& location : locations_) {
        ShortcutLocationComboBox->addItem(location.Caption);
    }
    ShortcutLocationComboBox->setCurrentIndex(locations_.isEmpty() ? -1 : 0);
    CommandLineEdit->setText(u'"' + ProgramFolder::ExecutablePath() + QStringLiteral("\" PLAY ") +
                             key_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(CloseButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Pages, 1);
    layout->addLayout(buttons);
}

QWidget* TServicePropertiesForm::MakeGeneralPage() {
    auto* page = new QWidget(this);
    IconImage1 = new QLabel(page);
    IconImage1->setFixedSize(kPictureSize, kPictureSize);
    ServiceNameEdit1 = ReadOnlyEdit(QString(), page);
    IDDecEdit = ReadOnlyEdit(QString(), page);
    IDHexEdit = ReadOnlyEdit(QString(), page);
    SecondaryEdit = ReadOnlyEdit(QString(), page);
    GenreEdit = ReadOnlyEdit(QString(), page);
    MultiplexEdit = ReadOnlyEdit(QString(), page);
    FreqEdit = ReadOnlyEdit(QString(), page);
    FavouriteCheckBox = new QCheckBox(QStringLiteral("Favourite"), page);
    FavouriteCheckBox->setEnabled(false);
    ExtendedInfoLabel = new QLabel(QStringLiteral("No Extended Information."), page);

    auto* top = new QHBoxLayout;
    top->addWidget(IconImage1);
    top->addWidget(ServiceNameEdit1, 1);
    auto* id = new QHBoxLayout;
    id->addWidget(IDDecEdit);
    id->addWidget(new QLabel(QStringLiteral("(Decimal)"), page));
    id->addWidget(IDHexEdit);
    id->addWidget(new QLabel(QStringLiteral("(Hexadecimal)"), page));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("ID:"), id);
    form->addRow(QString(), SecondaryEdit);
    form->addRow(QStringLiteral("Genre:"), GenreEdit);
    form->addRow(QStringLiteral("Multiplex:"), MultiplexEdit);
    form->addRow(QStringLiteral("Frequency:"), FreqEdit);
    form->addRow(QStringLiteral("Attributes:"), FavouriteCheckBox);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(top);
    layout->addLayout(form);
    layout->addWidget(ExtendedInfoLabel);
    layout->addStretch(1);
    return page;
}

QWidget* TServicePropertiesForm::MakeShortcutPage() {
    auto* page = new QWidget(this);
    IconImage2 = new QLabel(page);
    IconImage2->setFixedSize(kPictureSize, kPictureSize);
    ServiceNameEdit2 = new QLineEdit(page);
    ShortcutLocationComboBox = new QComboBox(page);
    ShortcutHotKey = new QKeySequenceEdit(page);
    CommandLineEdit = ReadOnlyEdit(QString(), page);
    CreateButton = new QPushButton(QStringLiteral("&Create"), page);
    connect(CreateButton, &QPushButton::clicked, this,
            [this] { Dialogs::ShowFailures([&] { CreateButtonClick(); }); });

    auto* top = new QHBoxLayout;
    top->addWidget(IconImage2);
    top->addWidget(ServiceNameEdit2, 1);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Location:"), ShortcutLocationComboBox);
    form->addRow(QStringLiteral("Shortcut key:"), ShortcutHotKey);
    form->addRow(QStringLiteral("Command line:"), CommandLineEdit);
    auto* create = new QHBoxLayout;
    create->addStretch(1);
    create->addWidget(CreateButton);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(top);
    layout->addLayout(form);
    layout->addLayout(create);
    layout->addStretch(1);
    return page;
}

const TServicePictures& TServicePropertiesForm::Pictures() {
    return TServicePictures::SharedOr(ownPictures_, tables_);
}

QString TServicePropertiesForm::CreateButtonClick() {
    const int index = ShortcutLocationComboBox->currentIndex();
    if (index < 0 || index >= locations_.size()) {
        return {};
    }
    const TLauncherLocation& location = locations_[index];
    QString folder = location.Folder;
    if (location.Browse) {
        const std::optional<QString> chosen = Dialogs::Instance().BrowseFolder(
            QStringLiteral("Select location for shortcut..."), location.Folder);
        folder = chosen.value_or(QString());
    }
    if (folder.isEmpty()) {
        return {};
    }
    // One key combination, as a hot key is.
    const QKeySequence keys = ShortcutHotKey->keySequence();
    const QString hotkey =
        keys.isEmpty() ? QString() : QKeySequence(keys[0]).toString(QKeySequence::PortableText);
    const TLauncherRequest request{serviceId_, key_, sid_, ServiceNameEdit2->text(), hotkey};
    const TDesktopLauncher launcher(Pictures(), ProgramFolder::ExecutablePath(),
                                    ProgramFolder::Path());
    return launcher.Create(request, folder);
}

void TServicePropertiesForm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
