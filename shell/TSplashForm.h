#pragma once

#include <QImage>
#include <QWidget>

// The start-up picture: 300 x 100, white, rounded, with the product name and version. It lives
// only while the long-lived objects are created.
class TSplashForm : public QWidget {
    Q_OBJECT
public:
    explicit TSplashForm(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QImage background_;
    QImage name_;
};
