#include "main_window_fixture.h"

#include <QComboBox>
#include <QRadioButton>

namespace {
class MapSourceWindowTest : public MainWindowTest {
protected:
    void WriteSource(const QByteArray& text)
    {
        QDir(exe.Path()).mkpath(QStringLiteral("ini/sources"));
        exe.Write("ini/sources/ortho.ini", text);
    }

    QByteArray OrthoSource(const QByteArray& path) const
    {
        return "[Source]\nName=Ortho\nUrl=" + server.BaseUrl().toLatin1() + path
            + "\nMinZoom=3\nMaxZoom=5\nPause=0\nFormat=png\nAttribution=Ortho Office\n";
    }
};
}

TEST_F(MapSourceWindowTest, TheFourthChoiceTakesASourceWithItsZoomLimitsAndAsksWhenItsTemplateChanged)
{
    WriteSource(OrthoSource("/o/{z}/{x}/{y}.png"));
    window = MakeWindow();
    TForm1& form = *window;
    ASSERT_EQ(form.SourceList->count(), 1);
    EXPECT_EQ(form.SourceList->currentText(), "Ortho");
    EXPECT_EQ(form.SourceItem->text(), "So&urce");
    EnterArea(form);
    form.UpDown1->SetPosition(12);
    form.SourceItem->setChecked(true);
    EXPECT_EQ(form.UpDown1->Position(), 5) << "the spinner keeps to the source's zoom levels";
    form.UpDown1->SetPosition(4);
    EXPECT_TRUE(form.MapTypeItems[0]->isEnabled());

    form.BitBtn1Click();
    ASSERT_TRUE(RunUntilTaskEnds());
    EXPECT_EQ(RequestedPaths().size(), 10);
    for (const QString& path : RequestedPaths())
        EXPECT_TRUE(path.startsWith("/o/4/")) << path.toStdString();
    EXPECT_TRUE(work.Read("newtask.qtsk").contains("[Source]\r\nName=Ortho\r\nUrl=" + server.BaseUrl().toLatin1() + "/o/{z}/{x}/{y}.png"));
    EXPECT_TRUE(QFile::exists(work.File("newtask/ortho_8_7_4.png")));

    // The template changes: Start asks; No leaves the task as it was.
    WriteSource(OrthoSource("/v2/{z}/{x}/{y}.png"));
    QStringList questions;
    bool answer = false;
    InterceptQuestions([&](const QString& text) {
        questions << text;
        return answer;
    });
    messages.clear();
    form.BitBtn1Click();
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions[0].contains("The map source Ortho has changed its address template")) << questions[0].toStdString();
    EXPECT_EQ(form.BitBtn1->text(), "Start");
    EXPECT_EQ(RequestedPaths().size(), 10);

    // Yes continues the task with the new template, which it records.
    answer = true;
    form.BitBtn1Click();
    ASSERT_TRUE(RunUntilTaskEnds());
    InterceptQuestions(nullptr);
    EXPECT_TRUE(work.Read("newtask.qtsk").contains("Url=" + server.BaseUrl().toLatin1() + "/v2/{z}/{x}/{y}.png"));
}
