#include "main_window_fixture.h"

#include "app/task_progress_display.h"
#include "app/tile_size_survey.h"

#include <QLabel>
#include <QProgressBar>
#include <QRadioButton>

class ProgressDisplayTest : public MainWindowTest {
protected:
    ProgressDisplayTest()
    {
        InterceptQuestions([this](const QString& text) {
            questions << text;
            return answer;
        });
    }
    ~ProgressDisplayTest() override { InterceptQuestions(nullptr); }

    std::string Shown() const { return window->ProgressDisplay->Text()->text().toStdString(); }
    QProgressBar& Bar() const { return *window->ProgressDisplay->Bar(); }
    bool WaitForSurvey() { return RunUntil([this] { return !window->TileSizes->Sampling(); }); }

    // Workers reach the server but get no reply until `repliesOpen`.
    void HoldReplies()
    {
        repliesOpen = false;
        server.SetResponder([this](const QByteArray&) {
            repliesOpen.WaitUntilOpen();
            return ScriptedReply::Ok("tile");
        });
    }

    QStringList questions;
    bool answer = false;
    Gate repliesOpen{true};
};

TEST_F(ProgressDisplayTest, EstimateFollowsTheInputsAndTheTilesAlreadyInTheFolder)
{
    EnterArea(*window);
    EXPECT_EQ(Shown(), "10 tiles, about 150 KiB");
    EXPECT_FALSE(Bar().isVisible());

    QDir(work.Path()).mkpath("older");
    work.Write("older/os_1_1_4.png", QByteArray(2048, 'x'));
    work.Write("older/oc_1_1_4.png", QByteArray(20480, 'x'));
    window->Edit6->setText(work.Path().chopped(1));
    ASSERT_TRUE(WaitForSurvey());
    EXPECT_EQ(Shown(), "10 tiles, about 20 KiB");
    window->MapTypeItems[2]->setChecked(true);
    ASSERT_TRUE(WaitForSurvey());
    EXPECT_EQ(Shown(), "10 tiles, about 200 KiB");

    window->Edit1->setText("120");
    EXPECT_EQ(Shown(), "") << "left of right is refused by Start";
    window->Edit1->setText("10");
    window->UpDown1->SetPosition(5);
    EXPECT_EQ(Shown(), "18 tiles, about 360 KiB");
    window->Edit5->setText("40");
    EXPECT_EQ(Shown(), "") << "the task core refuses zoom 40";
}

TEST_F(ProgressDisplayTest, LargeTaskIsAskedAboutAndNoWritesNothing)
{
    const QString folder = work.File("big");
    EnterArea(*window, "-180", "180", "85", "-85");
    window->UpDown1->SetPosition(10);  // 1,047,550 tiles
    window->Edit6->setText(folder);
    window->BitBtn1->click();
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions[0].startsWith("This task downloads 1,047,550 tiles, about 15 GiB.")) << questions[0].toStdString();
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(folder)) << "not even the folder is created";
    EXPECT_EQ(window->BitBtn1->text(), "Start");
    EXPECT_FALSE(window->Run->CurrentTask());
    EXPECT_EQ(Shown(), "1,047,550 tiles, about 15 GiB");

    questions.clear();
    window->UpDown1->SetPosition(8);  // 65,536 tiles: not asked
    window->Edit1->setText("179");    // one column
    window->BitBtn1->click();
    EXPECT_TRUE(questions.isEmpty());
    ASSERT_EQ(window->BitBtn1->text(), "Stop");
    window->BitBtn1->click();
    ASSERT_TRUE(RunUntilTaskEnds());
}

TEST_F(ProgressDisplayTest, ZoomAboveTheControlsRangeIsAskedOnceAndNotWhenContinuing)
{
    EnterArea(*window, "10", "10.0001", "10", "10");
    window->Edit5->setText("19");  // as Open task puts it from a project file
    window->BitBtn1->click();
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions[0].contains("Zoom level 19")) << questions[0].toStdString();
    EXPECT_FALSE(QFileInfo::exists(work.File("newtask.qtsk")));

    answer = true;
    window->BitBtn1->click();
    EXPECT_EQ(questions.size(), 2);
    ASSERT_TRUE(RunUntilTaskEnds());
    EXPECT_EQ(window->Run->CurrentTask()->TotalCount, 1);

    window->BitBtn1->click();
    EXPECT_TRUE(window->Run->CurrentParameters()->Continue);
    EXPECT_EQ(questions.size(), 2) << "a continued task is not asked again";
    ASSERT_TRUE(RunUntil([this] { return messages.count(kTaskStopped) == 2; }));
}

TEST_F(ProgressDisplayTest, NewTaskCountsFinishedTilesAndKeepsTheLastState)
{
    EnterArea(*window);
    window->BitBtn1->click();
    EXPECT_TRUE(Bar().isVisible());
    EXPECT_EQ(Bar().maximum(), 10);
    window->Edit1->setText("20");
    EXPECT_TRUE(window->ProgressDisplay->ShowsProgress()) << "edits while running leave the progress alone";
    ASSERT_TRUE(RunUntilTaskEnds());

    EXPECT_EQ(Bar().value(), 10);
    EXPECT_TRUE(QString::fromStdString(Shown()).startsWith("10 / 10 \u00b7 100%")) << Shown();
    EXPECT_EQ(Bar().accessibleDescription().toStdString(), Shown());
    QCoreApplication::processEvents();
    EXPECT_TRUE(Bar().isVisible()) << "the end keeps the last state";
}

TEST_F(ProgressDisplayTest, ContinuedTaskStartsFromTheTilesItsResumePointsCover)
{
    EnterArea(*window);
    afterTilePauseOpen = false;
    window->BitBtn1->click();
    ASSERT_TRUE(RunUntil([&] { return Bar().value() == 8; })) << "one tile for each of eight workers";
    EXPECT_TRUE(QString::fromStdString(Shown()).startsWith("8 / 10 \u00b7 80%")) << Shown();
    window->BitBtn1->click();
    afterTilePauseOpen = true;
    ASSERT_TRUE(RunUntilTaskEnds());
    EXPECT_EQ(Bar().value(), 8);

    messages.clear();
    HoldReplies();
    window->BitBtn1->click();
    ASSERT_TRUE(window->Run->CurrentParameters()->Continue);
    EXPECT_EQ(Bar().value(), 8);
    EXPECT_TRUE(QString::fromStdString(Shown()).startsWith("8 / 10 \u00b7 80%")) << Shown();
    repliesOpen = true;
    ASSERT_TRUE(RunUntilTaskEnds());
    EXPECT_EQ(Bar().value(), 10);
}
