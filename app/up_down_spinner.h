#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

// Two arrow buttons that step a whole number between a minimum and a
// maximum (no wrap-around) and show it in the edit they are bound to. The
// Up and Down keys in that edit step it too.
class UpDownSpinner : public QWidget {
public:
    UpDownSpinner(QLineEdit* associate, int minimum, int maximum, int position, QWidget* parent = nullptr);

    int Position() const { return position_; }
    // Clamped to the range; the bound edit shows the result.
    void SetPosition(int position);
    void StepBy(int steps);
    // New limits; the position is clamped into them.
    void SetRange(int minimum, int maximum);

private:
    QLineEdit* associate_;
    QToolButton* up_;
    QToolButton* down_;
    int minimum_;
    int maximum_;
    int position_ = 0;

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};
