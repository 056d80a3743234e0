#include "tools/converter_window.h"

#include "platform/message_box.h"
#include "tools/dms_conversion.h"
#include "tools/window_placement.h"

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

    auto* groupBox1 = new QGroupBox(this);
    groupBox1->setObjectName(QStringLiteral("GroupBox1"));
    groupBox1->setGeometry(8, 4, 300, 88);
    auto* label1 = new QLabel(QStringLiteral("Degrees, Minutes, Seconds:"), groupBox1);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->setGeometry(10, 10, 280, 20);
    Edit1 = new QLineEdit(groupBox1);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(10, 34, 56, 24);
    Edit2 = new QLineEdit(groupBox1);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setGeometry(72, 34, 56, 24);
    Edit3 = new QLineEdit(groupBox1);
    Edit3->setObjectName(QStringLiteral("Edit3"));
    Edit3->setGeometry(134, 34, 80, 24);
    Button1 = new QPushButton(QStringLiteral("convert"), groupBox1);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(220, 33, 72, 26);
    Button1->setDefault(true);

    auto* groupBox2 = new QGroupBox(this);
    groupBox2->setObjectName(QStringLiteral("GroupBox2"));
    groupBox2->setGeometry(316, 4, 142, 88);
    auto* label2 = new QLabel(QStringLiteral("Degrees:"), groupBox2);
    label2->setObjectName(QStringLiteral("Label2"));
    label2->setGeometry(10, 10, 122, 20);
    Edit4 = new QLineEdit(groupBox2);
    Edit4->setObjectName(QStringLiteral("Edit4"));
    Edit4->setGeometry(10, 34, 122, 24);
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
}
