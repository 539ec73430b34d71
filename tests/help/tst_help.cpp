#include "core/imagesource.h"
#include "help/aboutdialog.h"
#include "help/helpwindow.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QPointer>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

using velquor::HelpWindow;

// The manual viewer over three pages that link in a ring: index -> a -> b ->
// index, the shipped manual, and the About box.
class TestHelp : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void navigatesByLinksHistoryAndPageList();
    void missingPagesAreExplained();
    void shippedManualLinksResolve();
    void aboutShowsTheWholeLogoUntilOk();

private:
    QString manual() const { return m_dir->filePath(QStringLiteral("doc/html")); }
    void writePage(const QString &name, const QString &title, const QString &link);
    static QString title(const HelpWindow &window) { return window.browser()->documentTitle(); }
    static bool shown(QWidget &window)
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

void TestHelp::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir().mkpath(manual()));
    writePage(QStringLiteral("index.html"), QStringLiteral("Start"), QStringLiteral("a.html"));
    writePage(QStringLiteral("a.html"), QStringLiteral("Page A"), QStringLiteral("b.html"));
    writePage(QStringLiteral("b.html"), QStringLiteral("Page B"), QStringLiteral("index.html"));
}

void TestHelp::writePage(const QString &name, const QString &title, const QString &link)
{
    QFile file(manual() + QLatin1Char('/') + name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("<html><head><title>%1</title></head><body><h1>%1</h1>"
                              "<p><a href=\"%2\">next</a></p></body></html>")
                   .arg(title, link)
                   .toUtf8());
}

void TestHelp::navigatesByLinksHistoryAndPageList()
{
    HelpWindow window(QStringLiteral("index.html"), manual());
    QVERIFY(!window.backAction()->isEnabled() && !window.forwardAction()->isEnabled());
    QVERIFY(shown(window));
    QStringList seen{title(window)};
    followLink(window);
    followLink(window);
    seen << title(window);
    QVERIFY(window.backAction()->isEnabled() && !window.forwardAction()->isEnabled());
    window.backAction()->trigger();
    window.backAction()->trigger();
    seen << title(window);
    QVERIFY(!window.backAction()->isEnabled());
    window.forwardAction()->trigger();
    seen << title(window);
    // Home goes back to the start page; the page list names each page once
    // and choosing an entry opens that page.
    window.homeAction()->trigger();
    seen << title(window);
    QCOMPARE(window.pathCombo()->count(), 3);
    window.pathCombo()->setFocus();
    QTest::keyClick(window.pathCombo(), Qt::Key_Down);
    seen << title(window);
    QCOMPARE(seen, (QStringList{"Start", "Page B", "Start", "Page A", "Start", "Page A"}));
    QVERIFY(window.backAction()->isEnabled());
}

void TestHelp::missingPagesAreExplained()
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

    // Closing by the window's own action deletes it.
    QPointer<HelpWindow> closing = new HelpWindow(QStringLiteral("index.html"), manual());
    QVERIFY(shown(*closing));
    closing->closeAction()->trigger();
    QTRY_VERIFY(closing.isNull());
}

void TestHelp::shippedManualLinksResolve()
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

void TestHelp::aboutShowsTheWholeLogoUntilOk()
{
    velquor::AboutDialog about;
    const QPixmap logo = about.logoLabel()->pixmap();
    QCOMPARE(logo.toImage(), velquor::image(QStringLiteral("logo.png")).toImage());
    QVERIFY(shown(about));
    QVERIFY(about.logoLabel()->width() >= logo.width() && about.logoLabel()->height() >= logo.height());
    QTest::mouseClick(about.findChild<QPushButton *>(QStringLiteral("buttonOk")), Qt::LeftButton);
    QVERIFY(!about.isVisible());
    QCOMPARE(about.result(), int(QDialog::Accepted));
}

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
