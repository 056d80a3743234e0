#include "app/up_down_spinner.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <algorithm>

UpDownSpinner::UpDownSpinner(QLineEdit* associate, int minimum, int maximum, int position, QWidget* parent)
    : QWidget(parent), associate_(associate), up_(new QToolButton(this)), down_(new QToolButton(this)),
      minimum_(minimum), maximum_(maximum)
{
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    for (QToolButton* button : {up_, down_}) {
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
    }
    connect(up_, &QToolButton::clicked, this, [this] { StepBy(1); });
    connect(down_, &QToolButton::clicked, this, [this] { StepBy(-1); });
    associate_->installEventFilter(this);
    SetPosition(position);
}

void UpDownSpinner::SetPosition(int position)
{
    position_ = std::clamp(position, minimum_, maximum_);
    associate_->setText(QString::number(position_));
}

void UpDownSpinner::StepBy(int steps)
{
    SetPosition(position_ + steps);
}

void UpDownSpinner::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int upperHeight = height() / 2;
    up_->setGeometry(0, 0, width(), upperHeight);
    down_->setGeometry(0, upperHeight, width(), height() - upperHeight);
}

bool UpDownSpinner::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == associate_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            StepBy(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void UpDownSpinner::SetRange(int minimum, int maximum)
{
    minimum_ = minimum;
    maximum_ = maximum;
    SetPosition(position_);
}
