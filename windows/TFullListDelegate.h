#pragma once

#include <QPixmap>
#include <QStyledItemDelegate>
#include <functional>

// Draws the picture cells of the service list: the cell's background (selection included), then
// the picture `picture` names for it, centred; a null picture leaves the cell clear. Cells with
// text are drawn as usual. Main thread only.
class TFullListDelegate : public QStyledItemDelegate {
public:
    // `picture(index, selected)` answers the picture of a cell, or a null pixmap for a text cell
    // or a cleared one; `isPictureColumn(column)` tells which columns hold pictures.
    TFullListDelegate(std::function<QPixmap(const QModelIndex&, bool)> picture,
                      std::function<bool(int)> isPictureColumn, QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    std::function<QPixmap(const QModelIndex&, bool)> picture_;
    std::function<bool(int)> isPictureColumn_;
};
