#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <memory>

class HandOverServer;
class QSystemTrayIcon;
class QMenu;
class TServiceTablesWrapper;
class TSettingsWrapper;
class TMainControl;

// The bar: a small frameless always-on-top window (window class "TTunoraWindow") and the
// notification-area icon. It answers the hand-over of later instances and reads the command line.
// Main thread only.
class TTunoraWindow : public QWidget {
    Q_OBJECT
public:
    // `arguments`: this process's arguments without the launcher's show options, program first.
    // Creation ends with the empty-table question and the command line, as start-up expects.
    TTunoraWindow(TServiceTablesWrapper& tables, TSettingsWrapper& settings, TMainControl& control,
                  QStringList arguments, QWidget* parent = nullptr);
    ~TTunoraWindow() override;

    // The hand-over message: 0 plays the primary service of SId `lParam`, 1 reads the command
    // line `text`, 2 answers "ServerPort"; anything else answers -1.
    int HandOverMessage(int wParam, std::int64_t lParam, const QString& text);
    void ProcessCommandLine(const QString& text);
    void StartService(std::int32_t serviceId);

    void ExpandBar();
    void CollapseBar();
    bool BarExpanded() const { return barExpanded_; }
    void RefreshTrayIcon();

    // Exit without questions (termination signals): close the bar and end the message loop.
    void Terminate();

Q_SIGNALS:
    void ServiceStarted(std::int32_t serviceId);

protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void ExitActionExecute();
    void ScanActionExecute();
    void ApplyShape();

    TServiceTablesWrapper& tables_;
    TSettingsWrapper& settings_;
    TMainControl& control_;
    QStringList arguments_;
    std::unique_ptr<HandOverServer> handOver_;
    QSystemTrayIcon* trayIcon_ = nullptr;
    QMenu* trayMenu_ = nullptr;
    QString serviceText_;
    bool barExpanded_ = false;
    bool terminating_ = false;
};

extern TTunoraWindow* TunoraWindow;
