#pragma once

#include <QList>
#include <QSize>
#include <QString>

#include "services/SettingName.h"

class QAction;
class QTableWidget;
class QWidget;
class TSettingsWrapper;

// The stored geometry of a resizable list window: one setting of comma-separated integers
// (left, top, width, height, state "2" maximised else "0", then the column widths). Left and top
// are kept from the primary screen's top-left corner; a missing or unreadable entry takes its
// default (the window centred on that screen). Main thread only.
class TWindowSizes {
public:
    // `window` and `grid` are not owned and must outlive this; `columnWidths` are the default
    // widths (pixels), one per grid column.
    TWindowSizes(QWidget* window, QTableWidget* grid, TSettingsWrapper& settings,
                 SettingName setting, QSize defaultSize, QList<int> columnWidths);

    // The integers of a stored value, padded with -1 (meaning "default") to `count`.
    static QList<int> Parse(const QString& text, int count);

    // Applies the stored sizes.
    void Restore();
    // Writes the window's normal geometry, its state and the column widths.
    void Store();
    // Applies the defaults, as if nothing were stored.
    void Reset();
    // A "R&eset Window Sizes" action of `owner` that runs Reset.
    QAction* MakeResetAction(QWidget* owner);

private:
    void Apply(const QList<int>& values);

    QWidget* window_;
    QTableWidget* grid_;
    TSettingsWrapper& settings_;
    SettingName setting_;
    QSize defaultSize_;
    QList<int> columnWidths_;
};
