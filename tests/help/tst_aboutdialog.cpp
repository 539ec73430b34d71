#include "help/aboutdialog.h"
#include "core/imagesource.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

class TestAboutDialog : public QObject
{
    Q_OBJECT

private slots:
    void showsLogoAndVersionUntilOk();
};

void TestAboutDialog::showsLogoAndVersionUntilOk()
{
    velquor::AboutDialog about;
    QCOMPARE(about.versionLabel()->text(), QStringLiteral("<p align=\"center\">Version: 1.0.2"));
    QCOMPARE(about.versionLabel()->textFormat(), Qt::RichText);
    const QPixmap logo = about.logoLabel()->pixmap();
    QVERIFY(!logo.isNull());
    QCOMPARE(logo.toImage(), velquor::image(QStringLiteral("logo.png")).toImage());
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    // The whole logo fits.
    QVERIFY(about.logoLabel()->width() >= logo.width());
    QVERIFY(about.logoLabel()->height() >= logo.height());

    auto *ok = about.findChild<QPushButton *>(QStringLiteral("buttonOk"));
    QVERIFY(ok);
    QTest::mouseClick(ok, Qt::LeftButton);
    QVERIFY(!about.isVisible());
    QCOMPARE(about.result(), int(QDialog::Accepted));
}

QTEST_MAIN(TestAboutDialog)
#include "tst_aboutdialog.moc"
