// The main window's controls, menu and fonts.
#include "platform/designer_layout.h"
#include "app/log_pane.h"
#include "app/main_window.h"
#include "app/up_down_spinner.h"

#include <QAction>
#include <QFontDatabase>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>

namespace {
constexpr int kClientWidth = 675;
constexpr int kClientHeight = 377;
constexpr int kStatusBarHeight = 19;
constexpr int kInputPanelWidth = 361;

// The designer's font is Tahoma; where it is missing a condensed sans serif
// keeps the texts inside their bounds. Heights are in pixels.
QFont TahomaFont(int pixelHeight, bool bold = false)
{
    static const bool hasTahoma = QFontDatabase::families().contains(QStringLiteral("Tahoma"), Qt::CaseInsensitive);
    QFont font;
    if (hasTahoma) {
        font.setFamily(QStringLiteral("Tahoma"));
    } else {
        font.setStyleHint(QFont::SansSerif);
        font.setStretch(QFont::Condensed);
    }
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    return font;
}

QLineEdit* PlaceEdit(QWidget* parent, const char* name, int left, int top, int width, int height)
{
    return Place(new QLineEdit(parent), name, left, top, width, height);
}

QAction* AddItem(QMenu* menu, const char* name, const QString& caption)
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}
}

void TForm1::CreateControls()
{
    setFont(TahomaFont(11));
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    client->setFixedSize(kClientWidth, kClientHeight - kStatusBarHeight);
    setCentralWidget(client);

    Panel1 = Place(new QFrame(client), "Panel1", 0, 0, kInputPanelWidth, client->height());
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel2 = Place(new QFrame(Panel1), "Panel2", 1, 1, Panel1->width() - 2, Panel1->height() - 2);
    CreateInputControls(Panel2);

    Panel4 = Place(new QFrame(client), "Panel4", kInputPanelWidth, 0, kClientWidth - kInputPanelWidth,
        client->height());
    Panel4->setFrameStyle(QFrame::Box | QFrame::Plain);
    Memo1 = Place(new LogPane(Panel4), "Memo1", 1, 1, Panel4->width() - 2, Panel4->height() - 2);
    Memo1->setFrameStyle(QFrame::NoFrame);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setFont(TahomaFont(13));
    QPalette logColours = Memo1->palette();
    logColours.setColor(QPalette::Base, logColours.color(QPalette::ToolTipBase));
    logColours.setColor(QPalette::Text, QColor(0, 128, 0));
    Memo1->setPalette(logColours);
    Memo1->setToolTip(QStringLiteral("Double click to view log in notepad"));
    Memo1->SetLines({QStringLiteral("[log window]")});
    Memo1->viewport()->installEventFilter(this);

    // The failed-tile list of the running task: kept in a pane, never shown.
    Panel3 = Place(new QFrame(Panel2), "Panel3", 0, 0, 10, 10);
    Memo2 = Place(new LogPane(Panel3), "Memo2", 0, 0, 10, 10);
    QPalette failedColours = Memo2->palette();
    failedColours.setColor(QPalette::Text, QColor(0, 0, 255));
    Memo2->setPalette(failedColours);
    Memo2->SetLines({QStringLiteral("[Failed tile inforamtion window]")});
    Memo2->hide();
    Panel3->hide();

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFixedHeight(kStatusBarHeight);
    StatusBar1->setSizeGripEnabled(false);
    // A permanent label: hovering the menu must not clear the text.
    auto* statusText = new QLabel(QStringLiteral("Download images from OpenstreetMap!"), StatusBar1);
    StatusBar1->addWidget(statusText, 1);
    setStatusBar(StatusBar1);

    CreateMenu();
    // Single fixed border, no maximise box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, menuBar()->sizeHint().height() + kClientHeight);
}

void TForm1::CreateInputControls(QWidget* parent)
{
    Label16 = PlaceLabel(parent, "Label16", QStringLiteral("Task name:"), 7, 18);
    EditTaskName = PlaceEdit(parent, "EditTaskName", 71, 16, 170, 21);
    EditTaskName->setText(QStringLiteral("newtask.qtsk"));
    Button4 = Place(new QPushButton(QStringLiteral("Open task ..."), parent), "Button4", 252, 14, 84, 25);

    radio_mapstype = Place(new QGroupBox(QStringLiteral("Maps Type"), parent), "radio_mapstype", 18, 48, 317, 48);
    const QStringList items{QStringLiteral("MAPNIK"), QStringLiteral("OSMARENDER"), QStringLiteral("CYCLE")};
    // Three columns narrowed to leave the fourth to the map sources.
    const std::array<int, 4> columns{8, 70, 166, 224};
    for (int i = 0; i < 3; ++i) {
        MapTypeItems[i] = new QRadioButton(items[i], radio_mapstype);
        MapTypeItems[i]->setObjectName(QStringLiteral("radio_mapstype_item%1").arg(i));
        MapTypeItems[i]->setGeometry(columns[i], 20, columns[i + 1] - columns[i], 20);
    }
    MapTypeItems[0]->setChecked(true);
    CreateSourceChoice(radio_mapstype);

    GroupBox4 = Place(new QGroupBox(parent), "GroupBox4", 18, 104, 318, 114);
    Label1 = PlaceLabel(GroupBox4, "Label1", QStringLiteral("Left Longitude:"), 6, 19);
    Edit1 = PlaceEdit(GroupBox4, "Edit1", 79, 16, 69, 21);
    Label2 = PlaceLabel(GroupBox4, "Label2", QStringLiteral("Right Longitude:"), 154, 20);
    Edit3 = PlaceEdit(GroupBox4, "Edit3", 235, 16, 67, 21);
    Label3 = PlaceLabel(GroupBox4, "Label3", QStringLiteral("Top Latitude:"), 6, 45);
    Edit2 = PlaceEdit(GroupBox4, "Edit2", 79, 45, 69, 21);
    Label4 = PlaceLabel(GroupBox4, "Label4", QStringLiteral("Bottom Latitude:"), 154, 47);
    Edit4 = PlaceEdit(GroupBox4, "Edit4", 235, 45, 67, 21);
    Label5 = PlaceLabel(GroupBox4, "Label5", QStringLiteral("Zoom level:"), 7, 76);
    Edit5 = PlaceEdit(GroupBox4, "Edit5", 79, 74, 65, 21);
    Edit5->setReadOnly(true);
    UpDown1 = Place(new UpDownSpinner(Edit5, 1, 18, 13, GroupBox4), "UpDown1", 144, 74, 15, 21);
    LabelZoomTo = PlaceLabel(GroupBox4, "LabelZoomTo", QStringLiteral("to:"), 165, 76);
    EditZoomTo = PlaceEdit(GroupBox4, "EditZoomTo", 235, 74, 52, 21);
    EditZoomTo->setReadOnly(true);
    EditZoomTo->setAccessibleName(QStringLiteral("Zoom level to"));
    UpDownZoomTo = Place(new UpDownSpinner(EditZoomTo, 1, 18, 13, GroupBox4), "UpDownZoomTo", 287, 74, 15, 21);

    GroupBox2 = Place(new QGroupBox(parent), "GroupBox2", 18, 228, 318, 61);
    Label6 = PlaceLabel(GroupBox2, "Label6", QStringLiteral("Path to save:"), 6, 20);
    Edit6 = PlaceEdit(GroupBox2, "Edit6", 79, 19, 194, 21);
    Button1 = Place(new QPushButton(QStringLiteral("..."), GroupBox2), "Button1", 272, 17, 38, 25);
    Button1->setToolTip(QStringLiteral("Click to select path"));

    // The area from a file instead of the edges, and back.
    AreaFromFile1 = Place(new QPushButton(QStringLiteral("&Area from file..."), parent), "AreaFromFile1", 18, 292, 120, 22);
    PlainRectangle1 = Place(new QPushButton(QStringLiteral("&Rectangle"), parent), "PlainRectangle1", 144, 292, 80, 22);
    PlainRectangle1->setEnabled(false);

    LabelTotalxy = Place(new QLabel(parent), "LabelTotalxy", 8, 321, 203, 13);
    BitBtn1 = Place(new QPushButton(QStringLiteral("Start"), parent), "BitBtn1", 235, 315, 102, 33);
    BitBtn1->setFont(TahomaFont(13, true));
    BitBtn1->setDefault(true);
}

void TForm1::CreateMenu()
{
    QMenuBar* bar = menuBar();
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File1"));
    Exit1 = AddItem(file, "Exit1", QStringLiteral("E&xit"));

    QMenu* task = bar->addMenu(QStringLiteral("Ta&sk"));
    task->setObjectName(QStringLiteral("Task1"));
    RefreshTiles1 = AddItem(task, "RefreshTiles1", QStringLiteral("&Refresh tiles of this task"));

    QMenu* options = bar->addMenu(QStringLiteral("&Options"));
    options->setObjectName(QStringLiteral("Options1"));
    Options2 = AddItem(options, "Options2", QStringLiteral("Options..."));

    QMenu* misc = bar->addMenu(QStringLiteral("&Misc"));
    misc->setObjectName(QStringLiteral("Misc1"));
    ConvertLongitudeorLatitudetodegreen1 = AddItem(misc, "ConvertLongitudeorLatitudetodegreen1",
        QStringLiteral("Convert \"Degrees,Minutes,Seconds\"  to \"Degrees\"..."));
    misc->addSeparator();
    Viewlogfile1 = AddItem(misc, "Viewlogfile1", QStringLiteral("View log file"));

    QMenu* tools = bar->addMenu(QStringLiteral("&Tools"));
    tools->setObjectName(QStringLiteral("Tools1"));
    Mapviewer1 = AddItem(tools, "Mapviewer1", QStringLiteral("Map Viewer"));
    tools->addSeparator();
    CombineImages1 = AddItem(tools, "CombineImages1", QStringLiteral("Map Combiner"));
    tools->addSeparator();
    ReDownloadfailedfiles1 = AddItem(tools, "ReDownloadfailedfiles1", QStringLiteral("Re-Download failed images"));

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("Help1"));
    Usermanual1 = AddItem(help, "Usermanual1", QStringLiteral("User manual"));
    Homepage1 = AddItem(help, "Homepage1", QStringLiteral("Homepage"));
    help->addSeparator();
    About1 = AddItem(help, "About1", QStringLiteral("About..."));
}
