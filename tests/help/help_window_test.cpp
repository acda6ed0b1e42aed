// The manual and its window: the compiled help file opens at each page, its pages and links
// work, full-text search finds words, the installed files are never written to, and a missing
// or broken help file gives each command's own titled message.
#include "HelpBrowser.h"
#include "HelpFiles.h"
#include "HelpWindow.h"
#include "RecordingPrompts.h"
#include "mdlHelp.h"

#include <QDir>
#include <QFile>
#include <QHelpEngine>
#include <QHelpSearchEngine>
#include <QHelpSearchQueryWidget>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString BuiltHelp = QStringLiteral(CAIRNMETER_HELP_FILE);

class HelpTest : public ::testing::Test {
protected:
    QTemporaryDir cache; // the user's cache folder, where the help window keeps its copy
    RecordingPrompts prompts;
    QStringList opened;
    mdlHelp help{prompts, [this](QWidget *, const QString &address) { opened << address; }};

    void SetUp() override {
        ASSERT_TRUE(QFileInfo::exists(BuiltHelp)) << "the build compiles the manual";
        qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
        help.setHelpFile(BuiltHelp);
    }
    void TearDown() override { qunsetenv("XDG_CACHE_HOME"); }

    /// The one message shown, checked for its title and the error icon.
    QString message(const QString &title) {
        EXPECT_EQ(prompts.shown.size(), 1u);
        if (prompts.shown.empty())
            return {};
        const RecordingPrompts::Shown shown = prompts.shown.back();
        prompts.shown.clear();
        EXPECT_EQ(shown.title, title);
        EXPECT_EQ(shown.icon, Prompts::Icon::Critical);
        return shown.text;
    }
};

TEST_F(HelpTest, EachCommandOpensTheManualAtItsPage) {
    ASSERT_TRUE(help.HelpContents(1, nullptr));
    HelpWindow *window = help.window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->currentPage(), HelpWindow::Page::Contents);
    EXPECT_EQ(window->browser()->source(), window->homePage());
    EXPECT_EQ(window->browser()->documentTitle(), "Cairnmeter");
    EXPECT_TRUE(window->browser()->toPlainText().contains("Scanning a drive or a folder"));

    ASSERT_TRUE(help.HelpIndex(1, nullptr));
    EXPECT_EQ(help.window(), window); // the same window, reused
    EXPECT_EQ(window->currentPage(), HelpWindow::Page::Index);

    // The search page always opens with an empty query.
    QHelpSearchQueryWidget *query = window->engine()->searchEngine()->queryWidget();
    query->setSearchInput("foobar");
    ASSERT_TRUE(help.HelpSearch(1, nullptr));
    EXPECT_EQ(window->currentPage(), HelpWindow::Page::Search);
    EXPECT_TRUE(query->searchInput().isEmpty());
    EXPECT_TRUE(prompts.shown.empty());
    // The help window never keeps the program running on its own.
    EXPECT_FALSE(window->testAttribute(Qt::WA_QuitOnClose));
}

TEST_F(HelpTest, EveryPageLoadsAndLinksNavigateWithBackAndForward) {
    ASSERT_TRUE(help.HelpContents(1, nullptr));
    HelpWindow *window = help.window();
    QHelpEngine *engine = window->engine();
    const QString space = engine->registeredDocumentations().value(0);
    const QList<QUrl> pages = engine->files(space, QString(), QStringLiteral("html"));
    EXPECT_EQ(pages.size(), 13);
    const QRegularExpression link(QStringLiteral("href=\"([a-z]+\\.html)[#\"]"));
    for (const QUrl &page : pages) {
        const QString html = QString::fromUtf8(engine->fileData(page));
        EXPECT_TRUE(html.contains("<title>")) << page.toString().toStdString();
        // Every link between pages leads to a page of the manual.
        for (auto m = link.globalMatch(html); m.hasNext();) {
            const QUrl target = page.resolved(QUrl(m.next().captured(1)));
            EXPECT_FALSE(engine->fileData(target).isEmpty()) << target.toString().toStdString();
        }
    }

    HelpBrowser *browser = window->browser();
    browser->setSource(window->homePage().resolved(QUrl("sorting.html")));
    EXPECT_EQ(browser->documentTitle(), "Sorting");
    EXPECT_TRUE(browser->isBackwardAvailable());
    browser->backward();
    EXPECT_EQ(browser->documentTitle(), "Cairnmeter");
    browser->forward();
    EXPECT_EQ(browser->documentTitle(), "Sorting");
    EXPECT_EQ(window->windowTitle(), "Sorting - Cairnmeter Help");

    // Web and mail links go to the desktop; nothing else leaves the manual.
    browser->setSource(QUrl("https://www.velmoria.example/faq"));
    browser->setSource(QUrl("mailto:software@velmoria.example"));
    browser->setSource(QUrl("file:///etc/passwd"));
    browser->setSource(QUrl("javascript:alert(1)"));
    EXPECT_EQ(opened, QStringList({"https://www.velmoria.example/faq",
                                   "mailto:software@velmoria.example"}));
    EXPECT_EQ(browser->documentTitle(), "Sorting");
}

TEST_F(HelpTest, FullTextSearchFindsWordsWithoutWritingBesideTheInstalledFiles) {
    // An "installed" manual: the compiled files in a folder of their own.
    QTemporaryDir share;
    ASSERT_TRUE(QFile::copy(BuiltHelp, share.filePath("Cairnmeter.qhc")));
    ASSERT_TRUE(QFile::copy(QFileInfo(BuiltHelp).dir().filePath("Cairnmeter.qch"),
                            share.filePath("Cairnmeter.qch")));
    help.setHelpFile(share.filePath("Cairnmeter.qhc"));
    ASSERT_TRUE(help.HelpSearch(1, nullptr));
    QHelpSearchEngine *search = help.window()->engine()->searchEngine();

    // A search asked for while the index is still being built runs once it is ready.
    QSignalSpy searched(search, &QHelpSearchEngine::searchingFinished);
    search->queryWidget()->setSearchInput("symbolic");
    emit search->queryWidget()->search();
    ASSERT_TRUE(searched.count() > 0 || searched.wait(60000));
    EXPECT_FALSE(help.window()->isIndexing());
    ASSERT_GT(search->searchResultCount(), 0);
    bool found = false;
    for (const auto &result : search->searchResults(0, search->searchResultCount()))
        found = found || result.url().fileName() == "scanning.html";
    EXPECT_TRUE(found);

    // Only the two installed files are there: the index went to the user's cache.
    EXPECT_EQ(QDir(share.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({"Cairnmeter.qch", "Cairnmeter.qhc"}));
    EXPECT_TRUE(help.window()->engine()->collectionFile().startsWith(cache.path()));

    // The next start of the program finds the index already built, and searches at once.
    mdlHelp again(prompts, {});
    again.setHelpFile(share.filePath("Cairnmeter.qhc"));
    ASSERT_TRUE(again.HelpSearch(1, nullptr));
    QHelpSearchEngine *second = again.window()->engine()->searchEngine();
    QSignalSpy searchedAgain(second, &QHelpSearchEngine::searchingFinished);
    second->queryWidget()->setSearchInput("keyboard");
    emit second->queryWidget()->search();
    ASSERT_TRUE(searchedAgain.count() > 0 || searchedAgain.wait(60000));
    EXPECT_GT(second->searchResultCount(), 0);
}

TEST_F(HelpTest, MissingOrBrokenHelpFileGivesEachCommandItsTitledMessage) {
    QTemporaryDir dir;
    QFile broken(dir.filePath("broken.qhc"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("this is not a help collection");
    broken.close();
    for (const QString &file : {dir.filePath("missing.qhc"), broken.fileName(), QString()}) {
        SCOPED_TRACE(file.toStdString());
        help.setHelpFile(file);
        EXPECT_FALSE(help.HelpContents(1, nullptr));
        EXPECT_EQ(message("Cairnmeter Help File Contents"),
                  "Error in opening Help file.\nHelp File #1");
        EXPECT_FALSE(help.HelpIndex(1, nullptr));
        EXPECT_EQ(message("Cairnmeter Help File Index"),
                  "Error in opening Help file.\nHelp File #1");
        EXPECT_FALSE(help.HelpSearch(1, nullptr));
        EXPECT_EQ(message("Cairnmeter Help File Search"),
                  "Error in opening Help file.\nHelp File #1");
        EXPECT_EQ(help.window(), nullptr);
    }
}

TEST_F(HelpTest, OnlyHelpFileOneIsKnown) {
    EXPECT_EQ(help.HelpFilePath(1, nullptr), BuiltHelp);
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_FALSE(help.HelpContents(2, nullptr));
    ASSERT_EQ(prompts.shown.size(), 2u);
    EXPECT_EQ(prompts.shown[0].text, "Invalid Help file.\nHelp File #2\nHelp File Path: ");
    EXPECT_EQ(prompts.shown[0].title, "Cairnmeter Help File");
    EXPECT_EQ(prompts.shown[1].title, "Cairnmeter Help File Contents");
}

TEST_F(HelpTest, TheHelpFileIsFoundBesideTheProgramOrInTheInstalledShareFolder) {
    QTemporaryDir prefix;
    const QString bin = prefix.filePath("bin");
    const QString installed = prefix.filePath("share/cairnmeter/help/Cairnmeter.qhc");
    QDir().mkpath(bin);
    EXPECT_EQ(HelpFiles::DefaultHelpFile(bin), bin + "/help/Cairnmeter.qhc"); // neither there
    QDir().mkpath(QFileInfo(installed).path());
    QFile(installed).open(QIODevice::WriteOnly);
    EXPECT_EQ(HelpFiles::DefaultHelpFile(bin), installed);
    QDir().mkpath(bin + "/help");
    QFile(bin + "/help/Cairnmeter.qhc").open(QIODevice::WriteOnly);
    EXPECT_EQ(HelpFiles::DefaultHelpFile(bin), bin + "/help/Cairnmeter.qhc");
}

} // namespace
