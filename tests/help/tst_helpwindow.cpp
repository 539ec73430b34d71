#include "helpwindow.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QPointer>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

using velquor::HelpWindow;

class TestHelpWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void opensHomeWithNothingToGoBackTo();
    void followsRelativeLinksAndGoesBackAndForward();
    void visitedPagesComboListsEachPageOnceAndNavigates();
    void homeReturnsToStartPage();
    void missingManualIsExplained();
    void missingLinkedPageIsExplained();
    void closeActionClosesWindow();
    void shippedManualLinksResolve();

private:
    void writePage(const QString &name, const QString &title, const QString &link);
    static QString fileOf(const QUrl &url) { return QFileInfo(url.toLocalFile()).fileName(); }
    // Moves the keyboard focus to the page's only link and follows it.
    static void followLink(HelpWindow &window);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestHelpWindow::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QDir(m_dir->path()).mkpath(QStringLiteral("doc/html"));
    writePage(QStringLiteral("index.html"), QStringLiteral("Start"), QStringLiteral("a.html"));
    writePage(QStringLiteral("a.html"), QStringLiteral("Page A"), QStringLiteral("b.html"));
    writePage(QStringLiteral("b.html"), QStringLiteral("Page B"), QStringLiteral("index.html"));
}

void TestHelpWindow::writePage(const QString &name, const QString &title, const QString &link)
{
    QFile file(m_dir->filePath(QStringLiteral("doc/html/") + name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("<html><head><title>%1</title></head><body><h1>%1</h1>"
                              "<p><a href=\"%2\">next</a></p></body></html>")
                   .arg(title, link)
                   .toUtf8());
}

void TestHelpWindow::followLink(HelpWindow &window)
{
    window.browser()->setFocus();
    QTest::keyClick(window.browser(), Qt::Key_Tab);
    QTest::keyClick(window.browser(), Qt::Key_Return);
}

void TestHelpWindow::opensHomeWithNothingToGoBackTo()
{
    HelpWindow window(QStringLiteral("index.html"), m_dir->filePath(QStringLiteral("doc/html")));
    QCOMPARE(fileOf(window.browser()->source()), QStringLiteral("index.html"));
    QCOMPARE(window.browser()->documentTitle(), QStringLiteral("Start"));
    QVERIFY(!window.backAction()->isEnabled());
    QVERIFY(!window.forwardAction()->isEnabled());
    QCOMPARE(window.pathCombo()->count(), 1);
    QCOMPARE(window.pathCombo()->currentText(), QStringLiteral("index.html"));
}

void TestHelpWindow::followsRelativeLinksAndGoesBackAndForward()
{
    HelpWindow window(QStringLiteral("index.html"), m_dir->filePath(QStringLiteral("doc/html")));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    followLink(window);
    QCOMPARE(window.browser()->documentTitle(), QStringLiteral("Page A"));
    followLink(window);
    QCOMPARE(window.browser()->documentTitle(), QStringLiteral("Page B"));
    QVERIFY(window.backAction()->isEnabled());
    QVERIFY(!window.forwardAction()->isEnabled());

    window.backAction()->trigger();
    QCOMPARE(window.browser()->documentTitle(), QStringLiteral("Page A"));
    QCOMPARE(window.pathCombo()->currentText(), QStringLiteral("a.html"));
    QVERIFY(window.forwardAction()->isEnabled());
    window.backAction()->trigger();
    QCOMPARE(window.browser()->documentTitle(), QStringLiteral("Start"));
    QVERIFY(!window.backAction()->isEnabled());

    window.forwardAction()->trigger();
    window.forwardAction()->trigger();
    QCOMPARE(window.browser()->documentTitle(), QStringLiteral("Page B"));
    QVERIFY(!window.forwardAction()->isEnabled());
}

void TestHelpWindow::visitedPagesComboListsEachPageOnceAndNavigates()
{
    HelpWindow window(QStringLiteral("index.html"), m_dir->filePath(QStringLiteral("doc/html")));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    followLink(window); // a
    followLink(window); // b
    followLink(window); // back to index by its link
    QComboBox *combo = window.pathCombo();
    QStringList listed;
    for (int i = 0; i < combo->count(); ++i)
        listed << combo->itemText(i);
    QCOMPARE(listed, (QStringList{"index.html", "a.html", "b.html"}));
    QCOMPARE(combo->currentIndex(), 0);

    // Choosing an entry with the keyboard opens that page.
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    QCOMPARE(window.browser()->documentTitle(), QStringLiteral("Page A"));
    QTest::keyClick(combo, Qt::Key_Down);
    QCOMPARE(window.browser()->documentTitle(), QStringLiteral("Page B"));
    QCOMPARE(combo->count(), 3);
    // A page chosen in the list goes into the history like a followed link.
    window.backAction()->trigger();
    QCOMPARE(window.browser()->documentTitle(), QStringLiteral("Page A"));
    QCOMPARE(combo->currentText(), QStringLiteral("a.html"));
}

void TestHelpWindow::homeReturnsToStartPage()
{
    HelpWindow window(QStringLiteral("index.html"), m_dir->filePath(QStringLiteral("doc/html")));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    followLink(window);
    followLink(window);
    QCOMPARE(window.browser()->documentTitle(), QStringLiteral("Page B"));
    window.homeAction()->trigger();
    QCOMPARE(fileOf(window.browser()->source()), QStringLiteral("index.html"));
    QCOMPARE(window.pathCombo()->currentText(), QStringLiteral("index.html"));
    QVERIFY(window.backAction()->isEnabled());
}

void TestHelpWindow::missingManualIsExplained()
{
    const QString empty = m_dir->filePath(QStringLiteral("nothing/here"));
    HelpWindow window(QStringLiteral("index.html"), empty);
    const QString text = window.browser()->toPlainText();
    QVERIFY2(text.contains(QStringLiteral("Page not found")), qPrintable(text));
    QVERIFY2(text.contains(QDir::toNativeSeparators(QDir(empty).absoluteFilePath(QStringLiteral("index.html")))),
             qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("doc/html")));
}

void TestHelpWindow::missingLinkedPageIsExplained()
{
    writePage(QStringLiteral("index.html"), QStringLiteral("Start"), QStringLiteral("gone.html"));
    HelpWindow window(QStringLiteral("index.html"), m_dir->filePath(QStringLiteral("doc/html")));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    followLink(window);
    QVERIFY(window.browser()->toPlainText().contains(QStringLiteral("gone.html")));
    QCOMPARE(window.browser()->documentTitle(), QStringLiteral("Page not found"));
    // The way back still works.
    window.backAction()->trigger();
    QCOMPARE(window.browser()->documentTitle(), QStringLiteral("Start"));
}

void TestHelpWindow::closeActionClosesWindow()
{
    QPointer<HelpWindow> window = new HelpWindow(QStringLiteral("index.html"), m_dir->filePath(QStringLiteral("doc/html")));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    window->closeAction()->trigger();
    QVERIFY(!window || !window->isVisible());
    // It deletes itself once closed.
    QTRY_VERIFY(window.isNull());
}

void TestHelpWindow::shippedManualLinksResolve()
{
    const QString directory = QStringLiteral(VELQUOR_SOURCE_DIR "/doc/html");
    HelpWindow window(QStringLiteral("index.html"), directory);
    window.resize(760, 700);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(window.browser()->documentTitle().startsWith(QStringLiteral("Velquor")));

    // Every link inside the page has its anchor, and the contents list the
    // subsystem pages.
    QFile file(directory + QStringLiteral("/index.html"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());
    const QRegularExpression href(QStringLiteral("href=\"([^\"]*)\""));
    QSet<QString> targets;
    for (const QRegularExpressionMatch &m : href.globalMatch(html))
        targets.insert(m.captured(1));
    QVERIFY(targets.contains(QStringLiteral("pet.html")));
    QVERIFY(targets.contains(QStringLiteral("rmcp.html")));
    for (const QString &target : std::as_const(targets)) {
        if (target.startsWith(QLatin1Char('#')))
            QVERIFY2(html.contains(QStringLiteral("name=\"%1\"").arg(target.mid(1))), qPrintable(target));
    }

    const QString grabDir = qEnvironmentVariable("VELQUOR_GRAB_DIR");
    if (!grabDir.isEmpty())
        window.grab().save(QDir(grabDir).filePath(QStringLiteral("manual.png")));
}

QTEST_MAIN(TestHelpWindow)
#include "tst_helpwindow.moc"
