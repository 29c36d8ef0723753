#include "shell/TScanForm.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "shell/TScanFrameWidget.h"

TScanForm* ScanForm = nullptr;

void TScanForm::ShowScanWindow(TMainControl& control, TServiceTablesWrapper& tables,
                               QWidget* owner) {
    if (ScanForm) {
        ScanForm->show();
        ScanForm->raise();
        ScanForm->activateWindow();
        return;
    }
    auto* form = new TScanForm(control, tables, owner);
    form->show();
    // Refused ("Already scanning."): the window stays, idle with an empty log, until closed.
    // A scan that ends at once has already closed it again.
    form->ScanFrame1->Frame().StartScan();
}

TScanForm::TScanForm(TMainControl& control, TServiceTablesWrapper& tables, QWidget* owner)
    : QWidget(owner, Qt::Dialog),
      ScanFrame1(new TScanFrameWidget(control, tables, this)),
      CancelButton(new QPushButton(QStringLiteral("&Cancel"), this)) {
    ScanForm = this;
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Scan"));
    resize(300, 260);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ScanFrame1, 1);
    layout->addLayout(buttons);

    connect(CancelButton, &QPushButton::clicked, this, &TScanForm::CancelButtonClick);
    // The frame's end notice (message 1026): the window has done its work.
    connect(&ScanFrame1->Frame(), &TScanFrame::ScanEnded, this, &QWidget::close,
            Qt::QueuedConnection);
}

TScanForm::~TScanForm() {
    ScanForm = nullptr;
}

void TScanForm::CancelButtonClick() {
    // An idle window (its start was refused) has nothing to cancel: the button closes it.
    if (ScanFrame1->Frame().IsScanning()) {
        ScanFrame1->Frame().CancelScan();
    } else {
        close();
    }
}

void TScanForm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TScanForm::closeEvent(QCloseEvent* event) {
    ScanFrame1->Frame().CancelScan();
    event->accept();
}
