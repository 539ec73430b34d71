#include "help/helpwindow.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QPointer>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

using velquor::HelpWindow;

// The manual viewer over three pages that link in a ring: index -> a -> b -> index.
class TestHelpWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void navigatesByLinksHistoryAndPageList();
    void missingPagesAreExplained();
    void closeActionClosesAndDeletesWindow();
    void shippedManualLinksResolve();

private:
    QString manual() const { return m_dir->filePath(QStringLiteral("doc/html")); }
    void writePage(const QString &name, const QString &title, const QString &link);
    static QString title(const HelpWindow &window) { return window.browser()->documentTitle(); }
    static bool shown(HelpWindow &window)
    {
        window.show();
        return QTest::qWaitForWindowExposed(&window);
    }
    // Moves the keyboard focus to the page's only link and follows it.
    static void followLink(HelpWindow &window)
    {
        window.browser()->setFocus();
        QTest::keyClick(window.browser(), Qt::Key_Tab);
        QTest::keyClick(window.browser(), Qt::Key_Return);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestHelpWindow::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir().mkpath(manual()));
    writePage(QStringLiteral("index.html"), QStringLiteral("Start"), QStringLiteral("a.html"));
    writePage(QStringLiteral("a.html"), QStringLiteral("Page A"), QStringLiteral("b.html"));
    writePage(QStringLiteral("b.html"), QStringLiteral("Page B"), QStringLiteral("index.html"));
}

void TestHelpWindow::writePage(const QString &name, const QString &title, const QString &link)
{
    QFile file(manual() + QLatin1Char('/') + name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("<html><head><title>%1</title></head><body><h1>%1</h1>"
                              "<p><a href=\"%2\">next</a></p></body></html>")
                   .arg(title, link)
                   .toUtf8());
}

void TestHelpWindow::navigatesByLinksHistoryAndPageList()
{
    HelpWindow window(QStringLiteral("index.html"), manual());
    QCOMPARE(title(window), QStringLiteral("Start"));
    QVERIFY(!window.backAction()->isEnabled());
    QVERIFY(!window.forwardAction()->isEnabled());
    QVERIFY(shown(window));

    followLink(window);
    QCOMPARE(title(window), QStringLiteral("Page A"));
    followLink(window);
    QCOMPARE(title(window), QStringLiteral("Page B"));
    QVERIFY(window.backAction()->isEnabled());
    QVERIFY(!window.forwardAction()->isEnabled());

    window.backAction()->trigger();
    QCOMPARE(title(window), QStringLiteral("Page A"));
    QVERIFY(window.forwardAction()->isEnabled());
    window.backAction()->trigger();
    QCOMPARE(title(window), QStringLiteral("Start"));
    QVERIFY(!window.backAction()->isEnabled());
    window.forwardAction()->trigger();
    window.forwardAction()->trigger();
    QCOMPARE(title(window), QStringLiteral("Page B"));
    QVERIFY(!window.forwardAction()->isEnabled());

    // Home goes back to the start page; the page list names each page once
    // and follows the page shown.
    window.homeAction()->trigger();
    QCOMPARE(title(window), QStringLiteral("Start"));
    QVERIFY(window.backAction()->isEnabled());
    QComboBox *combo = window.pathCombo();
    QStringList listed;
    for (int i = 0; i < combo->count(); ++i)
        listed << combo->itemText(i);
    QCOMPARE(listed, (QStringList{"index.html", "a.html", "b.html"}));
    QCOMPARE(combo->currentIndex(), 0);

    // Choosing an entry with the keyboard opens that page and goes into the
    // history like a followed link.
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    QCOMPARE(title(window), QStringLiteral("Page A"));
    QTest::keyClick(combo, Qt::Key_Down);
    QCOMPARE(title(window), QStringLiteral("Page B"));
    window.backAction()->trigger();
    QCOMPARE(title(window), QStringLiteral("Page A"));
    QCOMPARE(combo->currentText(), QStringLiteral("a.html"));
    QCOMPARE(combo->count(), 3);
}

void TestHelpWindow::missingPagesAreExplained()
{
    // No manual where the window looks: the page says where that is.
    const QString empty = m_dir->filePath(QStringLiteral("nothing/here"));
    HelpWindow nowhere(QStringLiteral("index.html"), empty);
    const QString text = nowhere.browser()->toPlainText();
    QVERIFY2(text.contains(QStringLiteral("Page not found")), qPrintable(text));
    QVERIFY2(text.contains(QDir::toNativeSeparators(QDir(empty).absoluteFilePath(QStringLiteral("index.html")))),
             qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("doc/html")));

    // A link to a page that is not there; the way back still works.
    writePage(QStringLiteral("index.html"), QStringLiteral("Start"), QStringLiteral("gone.html"));
    HelpWindow window(QStringLiteral("index.html"), manual());
    QVERIFY(shown(window));
    followLink(window);
    QCOMPARE(title(window), QStringLiteral("Page not found"));
    QVERIFY(window.browser()->toPlainText().contains(QStringLiteral("gone.html")));
    window.backAction()->trigger();
    QCOMPARE(title(window), QStringLiteral("Start"));
}

void TestHelpWindow::closeActionClosesAndDeletesWindow()
{
    QPointer<HelpWindow> window = new HelpWindow(QStringLiteral("index.html"), manual());
    QVERIFY(shown(*window));
    window->closeAction()->trigger();
    QTRY_VERIFY(window.isNull());
}

void TestHelpWindow::shippedManualLinksResolve()
{
    const QString directory = QStringLiteral(VELQUOR_SOURCE_DIR "/doc/html");
    HelpWindow window(QStringLiteral("index.html"), directory);
    QVERIFY(title(window).startsWith(QStringLiteral("Velquor")));

    // Every link inside the page has its anchor, and the contents list the
    // subsystem pages.
    QFile file(directory + QStringLiteral("/index.html"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());
    QSet<QString> targets;
    for (const QRegularExpressionMatch &m : QRegularExpression(QStringLiteral("href=\"([^\"]*)\"")).globalMatch(html))
        targets.insert(m.captured(1));
    QVERIFY(targets.contains(QStringLiteral("pet.html")));
    QVERIFY(targets.contains(QStringLiteral("rmcp.html")));
    for (const QString &target : std::as_const(targets)) {
        if (target.startsWith(QLatin1Char('#')))
            QVERIFY2(html.contains(QStringLiteral("name=\"%1\"").arg(target.mid(1))), qPrintable(target));
    }
}

QTEST_MAIN(TestHelpWindow)
#include "tst_helpwindow.moc"
