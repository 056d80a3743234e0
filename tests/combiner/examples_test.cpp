#include "combiner_fixture.h"
#include "task/zoom_series.h"

#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <map>
#include <memory>

namespace {
QString SourceFile(const QString& path)
{
    QFile file(QStringLiteral(TESSALY_SOURCE_DIR "/") + path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The command lines of a manual page's examples, as a reader types them.
QStringList ManualPageExamples(const QString& page)
{
    QStringList commands;
    const QRegularExpression block(QStringLiteral("\\n\\.EX\\n(.*?)\\n\\.EE\\n"), QRegularExpression::DotMatchesEverythingOption);
    for (auto match = block.globalMatch(page); match.hasNext();) {
        QString text = match.next().captured(1);
        text.replace(QStringLiteral("\\-"), QStringLiteral("-")).replace(QStringLiteral("\\e\n"), QStringLiteral(" "));
        commands << text.simplified();
    }
    return commands;
}

// The lines of the user manual's examples that start `program`.
QStringList ManualExamples(const QString& manual, const QString& program)
{
    QStringList commands;
    const QRegularExpression block(QStringLiteral("<pre[^>]*>(.*?)</pre>"), QRegularExpression::DotMatchesEverythingOption);
    for (auto match = block.globalMatch(manual); match.hasNext();)
        for (const QString& line : match.next().captured(1).split(u'\n'))
            if (line.startsWith(program + u' '))
                commands << line.simplified();
    return commands;
}

// The zoom of a task the example names: a zoom series' member by the name
// the program gives it, any other task at zoom 10.
int ZoomOfName(const QString& name)
{
    const auto member = ParseSeriesProjectFileName(name);
    if (!member) {
        EXPECT_FALSE(name.contains(QRegularExpression(QStringLiteral("\\d\\.qtsk$"))))
            << name.toStdString() << " reads as a level of a series, but the program names those NAME_zLEVEL.qtsk";
        return 10;
    }
    return member->Zoom;
}
}

// Every quiltry example of its manual page and of the user manual runs as
// written, on tasks of the names it gives.
TEST(Examples, EveryQuiltryExampleOfTheManualsRuns)
{
    const QStringList examples = ManualPageExamples(SourceFile(QStringLiteral("packaging/man/quiltry.1")))
        + ManualExamples(SourceFile(QStringLiteral("dist/help/help.html")), QStringLiteral("quiltry"));
    ASSERT_GE(examples.size(), 7) << examples.join(u'\n').toStdString();

    CombinerTask t;  // area.qtsk
    std::map<QString, std::unique_ptr<OtherTask>> tasks;
    for (const QString& example : examples)
        for (const QString& word : example.split(u' '))
            if (word.endsWith(QStringLiteral(".qtsk")) && word != QStringLiteral("area.qtsk") && !tasks.count(word))
                tasks[word] = std::make_unique<OtherTask>(t, word, ZoomOfName(word), 100, word == QStringLiteral("east.qtsk") ? 1.0 : 0.0);

    for (const QString& example : examples) {
        SCOPED_TRACE(example.toStdString());
        QStringList words = example.split(u' ');
        ASSERT_EQ(words.takeFirst(), QStringLiteral("quiltry"));
        const QString output = words.at(words.indexOf(QStringLiteral("-o")) + 1);
        QFile::remove(t.folder.File(output));
        QProcess quiltry;
        quiltry.setWorkingDirectory(t.folder.Path());
        quiltry.start(QStringLiteral(QUILTRY_PROGRAM), words);
        ASSERT_TRUE(quiltry.waitForFinished(120000));
        EXPECT_EQ(quiltry.exitCode(), 0) << quiltry.readAllStandardError().toStdString();
        EXPECT_TRUE(QFileInfo(t.folder.File(output)).size() > 0);
    }
}
