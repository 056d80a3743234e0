// The main window's fourth map choice: a map source of one's own.

#include "app/main_window.h"
#include "app/up_down_spinner.h"
#include "platform/message_box.h"
#include "task/map_sources.h"
#include "task/start_check.h"
#include "task/stored_source.h"

#include <QComboBox>
#include <QGroupBox>
#include <QRadioButton>

namespace {
// The zoom levels the window's spinners offer for the built-in map types.
constexpr int kLowestWindowZoom = 1;
constexpr int kHighestWindowZoom = 18;
}

void TForm1::CreateSourceChoice(QGroupBox* group)
{
    SourceItem = new QRadioButton(QStringLiteral("So&urce"), group);
    SourceItem->setObjectName(QStringLiteral("radio_mapstype_source"));
    SourceItem->setGeometry(224, 20, group->width() - 8 - 224, 20);
    // The list sits on the group's top line, beside its title.
    SourceList = new QComboBox(group);
    SourceList->setObjectName(QStringLiteral("SourceList"));
    SourceList->setAccessibleName(QStringLiteral("Map source"));
    SourceList->setGeometry(96, 0, group->width() - 8 - 96, 18);
    FillSourceList();
    connect(SourceList, &QComboBox::activated, this, [this] {
        if (SourceList->currentIndex() >= 0)
            SourceItem->setChecked(true);
    });
    connect(SourceList, &QComboBox::currentIndexChanged, this, [this] { FollowSourceLimits(); });
    connect(SourceItem, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked && SourceList->count() > 0)
            SourceList->setFocus();
        FollowSourceLimits();
    });
}

// The names of the folder's sources; the chosen one stays chosen while it is there.
void TForm1::FillSourceList()
{
    const QString chosen = SourceList->currentText();
    const MapSources sources = ReadMapSources();
    const QSignalBlocker quiet(SourceList);
    SourceList->clear();
    SourceList->addItems(sources.Names());
    SourceList->setCurrentIndex(std::max(0, SourceList->findText(chosen)));
    SourceList->setToolTip(sources.Problems.join(u'\n'));
    SourceItem->setEnabled(SourceList->count() > 0);
}

// A source whose file has gone (an opened task's) stays chosen by its name
// alone, and Start says it is missing.
std::shared_ptr<const MapSource> TForm1::ChosenSource() const
{
    if (!SourceItem->isChecked() || SourceList->currentIndex() < 0)
        return nullptr;
    if (auto source = ReadMapSources().Find(SourceList->currentText()))
        return source;
    MapSource missing;
    missing.Name = SourceList->currentText();
    return std::make_shared<const MapSource>(std::move(missing));
}

void TForm1::SelectSource(const QString& name)
{
    FillSourceList();
    const int index = SourceList->findText(name, Qt::MatchFixedString);
    if (index < 0)
        SourceList->addItem(name);
    SourceList->setCurrentIndex(index < 0 ? SourceList->count() - 1 : index);
    SourceItem->setEnabled(true);
    SourceItem->setChecked(true);
}

// The spinners offer the zoom levels the chosen source has tiles for.
void TForm1::FollowSourceLimits()
{
    const auto source = ChosenSource();
    const int lowest = source ? std::max(kLowestWindowZoom, source->MinZoom) : kLowestWindowZoom;
    const int highest = source ? std::max(lowest, std::min(kHighestWindowZoom, source->MaxZoom)) : kHighestWindowZoom;
    UpDown1->SetRange(lowest, highest);
    UpDownZoomTo->SetRange(lowest, highest);
}

bool TForm1::AcceptChangedTemplates(TaskInputs& inputs, int zoomTo)
{
    for (const CheckedInputs& member : ReadSeriesStart(inputs, zoomTo)) {
        if (const auto changed = ChangedTemplateText(member)) {
            if (!AskYesNo(*changed + QStringLiteral("\n\nContinue the task with the new template?")))
                return false;
            inputs.TemplateChangeAccepted = true;
            return true;
        }
    }
    return true;
}
