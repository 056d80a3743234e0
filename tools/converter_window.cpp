#include "tools/converter_window.h"

#include "platform/designer_layout.h"
#include "platform/message_box.h"
#include "tools/dms_conversion.h"
#include "platform/window_placement.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TfrmConvert::TfrmConvert(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmConvert"));
    setWindowTitle(QStringLiteral("Convert \"Degrees,Minutes,Seconds\" to \"Degrees\""));
    setFixedSize(466, 99);

    auto* groupBox1 = Place(new QGroupBox(this), "GroupBox1", 8, 4, 300, 88);
    Place(new QLabel(QStringLiteral("Degrees, Minutes, Seconds:"), groupBox1), "Label1", 10, 10, 280, 20);
    Edit1 = Place(new QLineEdit(groupBox1), "Edit1", 10, 34, 56, 24);
    Edit2 = Place(new QLineEdit(groupBox1), "Edit2", 72, 34, 56, 24);
    Edit3 = Place(new QLineEdit(groupBox1), "Edit3", 134, 34, 80, 24);
    Button1 = Place(new QPushButton(QStringLiteral("convert"), groupBox1), "Button1", 220, 33, 72, 26);
    Button1->setDefault(true);

    auto* groupBox2 = Place(new QGroupBox(this), "GroupBox2", 316, 4, 142, 88);
    Place(new QLabel(QStringLiteral("Degrees:"), groupBox2), "Label2", 10, 10, 122, 20);
    Edit4 = Place(new QLineEdit(groupBox2), "Edit4", 10, 34, 122, 24);
    Edit4->setReadOnly(true);

    connect(Button1, &QPushButton::clicked, this, [this] { RunGuarded([this] { Button1Click(); }); });
    CenterOnScreen(*this);
}

void TfrmConvert::Button1Click()
{
    const std::optional<float> degrees = DegreesFromDms(Edit1->text(), Edit2->text(), Edit3->text());
    if (!degrees) {
        ShowMessage(QStringLiteral("Input Error."));
        return;
    }
    Edit4->setText(DegreesText(*degrees));
    // A long result is wider than the box: show its start, sign included.
    Edit4->setCursorPosition(0);
}
