#include "windows/TFullListDelegate.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>

TFullListDelegate::TFullListDelegate(std::function<QPixmap(const QModelIndex&, bool)> picture,
                                     std::function<bool(int)> isPictureColumn, QObject* parent)
    : QStyledItemDelegate(parent),
      picture_(std::move(picture)),
      isPictureColumn_(std::move(isPictureColumn)) {}

void TFullListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    if (!isPictureColumn_(index.column())) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    background.icon = QIcon();
    const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, option.widget);
    const QPixmap pixmap = picture_(index, option.state.testFlag(QStyle::State_Selected));
    if (!pixmap.isNull()) {
        const QSize size = pixmap.deviceIndependentSize().toSize();
        const QRect target(option.rect.center() - QPoint(size.width() / 2, size.height() / 2),
                           size);
        painter->drawPixmap(target, pixmap);
    }
}
