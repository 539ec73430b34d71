// The Scripts panel in the main window: hidden until View > Scripts, the
// list of the project's tests, running one by double-click, script setters
// reaching the pages, and the editor's error line.
#include "app/mainwidow.h"
#include "app/standardhandlers.h"
#include "core/tracelog.h"
#include "script/scripteditor.h"
#include "script/scripthost.h"
#include "script/scriptspanel.h"
#include "support/workdir.h"

#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTreeWidget>
#include <QtTest>

using namespace velquor;

namespace {

const char *const Project = R"(class Helpers { static h() {} }
class __PET_Tests {
  a() { RMCP1_LOG.log("ran a"); }
  b() {}
}
function configure() {
  RMCP1.setConfiguration("10.1.2.3", 664, 1500, 4, false, 0, "", "", "");
  RMCP2.setClientResponseTime(2500);
  PET.setConfiguration("127.0.0.1", 1620, true, 5, 0.25);
}
function broken() { missing(); }
)";

QTreeWidgetItem *row(QTreeWidget *list, const QString &text)
{
    const auto found = list->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
}

} // namespace

class TestScriptsPanel : public QObject
{
    Q_OBJECT

private slots:
    void panel()
    {
        test::WorkingDirectory wd;
        QDir().mkdir("scripts");
        QFile f("scripts/velquor.qsa");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(Project);
        f.close();

        MainWidow w;
        registerStandardHandlers(w);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(QTest::qWaitFor([&] { return w.traceLog()->isInstalled(); }));

        // Hidden at start-up; the View menu's toggle shows and hides it.
        QVERIFY(!w.scriptFrame()->isVisible());
        w.viewScriptsAction->trigger();
        QVERIFY(w.scriptFrame()->isVisible());

        QTreeWidget *list = w.scriptsPanel()->list();
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(list->topLevelItem(0)->text(0), QString("(global)"));
        QVERIFY(!list->topLevelItem(0)->isExpanded());
        QCOMPARE(list->topLevelItem(1)->text(0), QString("PET_Tests"));
        QVERIFY(list->topLevelItem(1)->isExpanded());
        QCOMPARE(list->topLevelItem(1)->childCount(), 2);
        QVERIFY(!row(list, "Helpers") && !row(list, "h"));

        // Double-click runs the member function; the list is usable again after.
        emit list->itemDoubleClicked(row(list, "a"), 0);
        QVERIFY(list->isEnabled());
        QVERIFY(w.scriptsPanel()->errorLabel()->text().isEmpty());
        QCOMPARE(w.scriptHost()->running(), false);

        // Script setters show on the pages, which the next Connect reads.
        emit list->itemDoubleClicked(row(list, "configure"), 0);
        QCOMPARE(w.rmcpPage(1).RMCPIPAdr->text(), QString("10.1.2.3"));
        QCOMPARE(w.rmcpPage(1).RMCPIPPort->currentIndex(), 1);
        QCOMPARE(w.rmcpPage(1).retransmissionInterval->text(), QString("1500"));
        QCOMPARE(w.rmcpPage(1).retransmissionNr->text(), QString("4"));
        QVERIFY(w.rmcpPage(1).retransmissionOn_radioButton->isChecked());
        QCOMPARE(w.rmcpPage(2).retransmissionInterval->text(), QString("2500"));
        QCOMPARE(w.petPage().PETIPAdr->text(), QString("127.0.0.1"));
        QCOMPARE(w.petPage().PETIPPort_2->text(), QString("1620"));
        QCOMPARE(w.petPage().PETHeartbeatInterval->text(), QString("5"));

        // A script error shows with file and line, in the panel and the editor.
        w.scriptsPanel()->openIDE();
        script::ScriptEditor *editor = w.scriptsPanel()->editor();
        QVERIFY(editor && editor->isVisible());
        emit list->itemDoubleClicked(row(list, "broken"), 0);
        QVERIFY2(w.scriptsPanel()->errorLabel()->text().contains("velquor.qsa:11"),
                 qPrintable(w.scriptsPanel()->errorLabel()->text()));
        QCOMPARE(editor->editor()->errorLine(), 11);

        // An edit evaluated in the editor and taken over by Update is saved.
        editor->editor()->setPlainText(QString::fromLatin1(Project) + "function added() {}\n");
        w.scriptsPanel()->updateScripts();
        QVERIFY(row(list, "added"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().contains("function added()"));
        f.close();

        // A syntax error: marked in the editor, nothing listed but "(global)".
        editor->editor()->setPlainText("function a() {}\nfunction b() { var = 1; }\n");
        QVERIFY(!editor->evaluate());
        QCOMPARE(editor->editor()->errorLine(), 2);
        QVERIFY(editor->statusLabel()->text().contains(":2:"));
    }
};

QTEST_MAIN(TestScriptsPanel)
#include "tst_scriptspanel.moc"
