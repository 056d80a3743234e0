#include "combiner/output_file.h"
#include "platform/app_error.h"
#include "support/temp_folder.h"

#include <QFileInfo>
#include <gtest/gtest.h>

TEST(PendingOutputs, ALinkPlantedAtTheTemporaryNameIsRemovedNeverWrittenThrough)
{
    const TempFolder folder;
    folder.Write("victim", "keep");
    const QString target = folder.File("map.tif");
    ASSERT_TRUE(QFile::link(folder.File("victim"), PendingOutput::TemporaryNameFor(target)));
    // A dangling link would create its target when followed.
    ASSERT_TRUE(QFile::link(folder.File("made-through-link"), PendingOutput::TemporaryNameFor(folder.File("other.tif"))));
    for (const QString& name : {target, folder.File("other.tif")}) {
        PendingOutput output(name);
        EXPECT_FALSE(QFileInfo(output.TemporaryName()).isSymLink());
        WritePendingBytes(output, "new");
        output.Commit();
        EXPECT_EQ(QFileInfo(name).isSymLink(), false);
    }
    EXPECT_EQ(folder.Read("victim"), "keep");
    EXPECT_EQ(folder.Read("map.tif"), "new");
    EXPECT_FALSE(QFile::exists(folder.File("made-through-link")));

    // A file swapped in under the temporary name while the output is written is not renamed over the target.
    PendingOutput output(folder.File("swapped.tif"));
    QFile::remove(output.TemporaryName());
    folder.Write("swapped.tif.quiltry-part", "planted");
    EXPECT_THROW(output.Commit(), AppError);
    EXPECT_FALSE(QFile::exists(folder.File("swapped.tif")));
}

TEST(PendingOutputs, AfterAStopAtAnyStepTheImageBesideItsSideFilesIsFromTheSameRun)
{
    const QStringList sides = {"map.pgw", "map.prj", "map.png.aux.xml"};
    for (int stop = 0; stop <= 4; ++stop) {
        SCOPED_TRACE(stop);
        const TempFolder folder;
        folder.Write("map.png", "old");
        for (const QString& side : sides)
            folder.Write(side, "old");
        PendingOutput image(folder.File("map.png"));
        std::vector<std::unique_ptr<PendingOutput>> pending;
        std::vector<PendingOutput*> sidecars;
        WritePendingBytes(image, "new");
        for (const QString& side : sides) {
            pending.push_back(std::make_unique<PendingOutput>(folder.File(side)));
            WritePendingBytes(*pending.back(), "new");
            sidecars.push_back(pending.back().get());
        }
        int step = 0;
        struct Stopped {};
        try {
            CommitImageWithSidecars(image, sidecars, [&] {
                if (step++ == stop)
                    throw Stopped{};
            });
        } catch (const Stopped&) {
        }
        if (QFile::exists(folder.File("map.png"))) {
            EXPECT_EQ(folder.Read("map.png"), "new");
            for (const QString& side : sides)
                EXPECT_EQ(folder.Read(side), "new") << side.toStdString();
        }
        EXPECT_EQ(QFile::exists(folder.File("map.png")), stop == 4);
    }
}
