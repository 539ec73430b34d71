#pragma once

#include <QObject>
#include <QPointer>

class QFrame;
class QLabel;
class QPushButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace velquor::script {

class ScriptEditor;
class ScriptHost;

// The Scripts panel: the project's test functions in a list (double-click
// runs one), Edit, Update and Stop, and the last script error. Its widgets
// live in the frame it is given.
class Scripts : public QObject
{
    Q_OBJECT

public:
    Scripts(ScriptHost *host, QFrame *frame);
    ~Scripts() override;

    QTreeWidget *list() const { return m_list; }
    QLabel *errorLabel() const { return m_error; }
    ScriptEditor *editor() const;

public slots:
    void updateScripts();
    void runScript(QTreeWidgetItem *item);
    void openIDE();
    void stopScript();

private:
    void setListColour(const QColor &colour);

    ScriptHost *m_host;
    QTreeWidget *m_list;
    QPushButton *m_stop;
    QLabel *m_error;
    QTimer *m_whiteTimer;
    QPointer<ScriptEditor> m_editor;
};

} // namespace velquor::script
