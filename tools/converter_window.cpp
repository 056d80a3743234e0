#include "tools/converter_window.h"

TfrmConvert::TfrmConvert(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Convert \"Degrees,Minutes,Seconds\" to \"Degrees\""));
}

void TfrmConvert::Button1Click()
{
}
