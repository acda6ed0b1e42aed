// The first window fits the screen, title bar included, whatever the stored placement and the
// screen's size in logical pixels (a scale factor of 2 halves it).
#include "RecordingPrompts.h"
#include "frmMain.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(WindowFit, TheFirstWindowAndItsTitleBarStayOnTheScreen) {
    const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
    // No placement, one far larger than the screen, and one above and left of it.
    for (const QString &record : {QString(), QStringLiteral("0,0,90000,90000,0"),
                                  QStringLiteral("-3000,-3000,12000,9000,0")}) {
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        qputenv("XDG_CONFIG_HOME", dir.filePath("config").toUtf8());
        const QString folder = dir.filePath("config/Velmoria/Cairnmeter");
        QDir().mkpath(folder);
        QFile ini(folder + "/Cairnmeter.ini");
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        if (!record.isEmpty())
            ini.write(("[Positions]\r\nfrmMain=" + record + "\r\n").toUtf8());
        ini.close();

        RecordingPrompts prompts;
        frmMain form(&prompts);
        form.Form_Load(QString());
        const QRect inner = form.geometry();
        EXPECT_TRUE(avail.contains(form.frameGeometry())) << qPrintable(record);
        // Room above the window's client area for a title bar, inside the screen.
        EXPECT_GE(inner.top() - avail.top(), 20) << qPrintable(record);
        EXPECT_LE(inner.bottom(), avail.bottom()) << qPrintable(record);
        EXPECT_GE(inner.left(), avail.left()) << qPrintable(record);
        EXPECT_LE(inner.right(), avail.right()) << qPrintable(record);
        form.close();
    }
    qunsetenv("XDG_CONFIG_HOME");
}
