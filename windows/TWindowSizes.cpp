#include "windows/TWindowSizes.h"

#include <QAction>
#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QStringList>
#include <QTableWidget>
#include <QWidget>

#include "services/TSettingsWrapper.h"

namespace {

constexpr int kMaximised = 2;
constexpr int kFields = 5;  // left, top, width, height, state

QRect ScreenArea() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect(0, 0, 1024, 768);
}

}  // namespace

TWindowSizes::TWindowSizes(QWidget* window, QTableWidget* grid, TSettingsWrapper& settings,
                           SettingName setting, QSize defaultSize, QList<int> columnWidths)
    : window_(window),
      grid_(grid),
      settings_(settings),
      setting_(setting),
      defaultSize_(defaultSize),
      columnWidths_(std::move(columnWidths)) {}

QList<int> TWindowSizes::Parse(const QString& text, int count) {
    QList<int> values;
    const QStringList parts = text.split(u',');
    for (int i = 0; i < count; ++i) {
        bool ok = false;
        const int value = i < parts.size() ? parts[i].trimmed().toInt(&ok) : 0;
        values.append(ok ? value : -1);
    }
    return values;
}

void TWindowSizes::Restore() {
    Apply(Parse(settings_.ReadString(setting_), kFields + columnWidths_.size()));
}

void TWindowSizes::Reset() {
    Apply(Parse(QString(), kFields + columnWidths_.size()));
}

void TWindowSizes::Apply(const QList<int>& values) {
    const QRect screen = ScreenArea();
    const int width = values[2] > 0 ? values[2] : defaultSize_.width();
    const int height = values[3] > 0 ? values[3] : defaultSize_.height();
    const int left = values[0] >= 0 ? values[0] : (screen.width() - width) / 2;
    const int top = values[1] >= 0 ? values[1] : (screen.height() - height) / 2;
    window_->showNormal();
    window_->setGeometry(screen.left() + left, screen.top() + top, width, height);
    if (values[4] == kMaximised) {
        window_->setWindowState(window_->windowState() | Qt::WindowMaximized);
    } else {
        window_->setWindowState(window_->windowState() & ~Qt::WindowMaximized);
    }
    for (int c = 0; c < columnWidths_.size() && c < grid_->columnCount(); ++c) {
        const int stored = values[kFields + c];
        grid_->setColumnWidth(c, stored > 0 ? stored : columnWidths_[c]);
    }
}

void TWindowSizes::Store() {
    const QRect screen = ScreenArea();
    const bool maximised = window_->isMaximized();
    const QRect normal = maximised ? window_->normalGeometry() : window_->geometry();
    QStringList parts{QString::number(normal.left() - screen.left()),
                      QString::number(normal.top() - screen.top()), QString::number(normal.width()),
                      QString::number(normal.height()),
                      QString::number(maximised ? kMaximised : 0)};
    for (int c = 0; c < columnWidths_.size(); ++c) {
        parts.append(QString::number(grid_->columnWidth(c)));
    }
    settings_.WriteString(setting_, parts.join(u','));
}

QAction* TWindowSizes::MakeResetAction(QWidget* owner) {
    auto* action = new QAction(QStringLiteral("R&eset Window Sizes"), owner);
    QObject::connect(action, &QAction::triggered, owner, [this] { Reset(); });
    return action;
}
