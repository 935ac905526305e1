#pragma once
#include <QWidget>
namespace gg {
class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr) : QWidget(parent) {}
};
} // namespace gg
