#pragma once

#include <QPlainTextEdit>
#include <QWidget>

class QLabel;

namespace velquor::script {

class ScriptHost;

// A plain text editor with line numbers and one marked error line.
class CodeEditor : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit CodeEditor(QWidget *parent = nullptr);

    // Marks line (1-based) as the error line and moves there; 0 clears the mark.
    void markErrorLine(int line);
    int errorLine() const { return m_errorLine; }
    int lineNumberAreaWidth() const;
    void paintLineNumbers(QPaintEvent *event);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QWidget *m_numbers;
    int m_errorLine = 0;
};

// The project's editor window: open, evaluate, save; script errors shown
// with file and line, and the line marked.
class ScriptEditor : public QWidget
{
    Q_OBJECT

public:
    explicit ScriptEditor(ScriptHost *host, QWidget *parent = nullptr);

    CodeEditor *editor() const { return m_edit; }
    QLabel *statusLabel() const { return m_status; }
    // Hands the editor's text to the host when it differs from the project.
    void commit();
    void showError(const QString &text, int line);

public slots:
    void reload();
    bool evaluate();
    bool save();
    void open();

private:
    ScriptHost *m_host;
    CodeEditor *m_edit;
    QLabel *m_status;
};

} // namespace velquor::script
