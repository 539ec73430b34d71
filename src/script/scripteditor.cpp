#include "script/scripteditor.h"

#include "script/scripthost.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTextBlock>
#include <QVBoxLayout>

namespace velquor::script {

namespace {

class LineNumberArea : public QWidget
{
public:
    explicit LineNumberArea(CodeEditor *editor) : QWidget(editor), m_editor(editor) {}
    QSize sizeHint() const override { return {m_editor->lineNumberAreaWidth(), 0}; }

protected:
    void paintEvent(QPaintEvent *event) override { m_editor->paintLineNumbers(event); }

private:
    CodeEditor *m_editor;
};

} // namespace

CodeEditor::CodeEditor(QWidget *parent) : QPlainTextEdit(parent), m_numbers(new LineNumberArea(this))
{
    setObjectName(QStringLiteral("scriptText"));
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setFont(QFont(QStringLiteral("Courier")));
    connect(this, &QPlainTextEdit::blockCountChanged, this, [this] { setViewportMargins(lineNumberAreaWidth(), 0, 0, 0); });
    connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect &rect, int dy) {
        if (dy)
            m_numbers->scroll(0, dy);
        else
            m_numbers->update(0, rect.y(), m_numbers->width(), rect.height());
    });
    // An edit may move the faulty line: the mark would point at the wrong one.
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (m_errorLine)
            markErrorLine(0);
    });
    setViewportMargins(lineNumberAreaWidth(), 0, 0, 0);
}

int CodeEditor::lineNumberAreaWidth() const
{
    const int digits = QString::number(qMax(1, blockCount())).size();
    return 6 + fontMetrics().horizontalAdvance(QLatin1Char('9')) * digits;
}

void CodeEditor::resizeEvent(QResizeEvent *event)
{
    QPlainTextEdit::resizeEvent(event);
    const QRect r = contentsRect();
    m_numbers->setGeometry(QRect(r.left(), r.top(), lineNumberAreaWidth(), r.height()));
}

void CodeEditor::paintLineNumbers(QPaintEvent *event)
{
    QPainter painter(m_numbers);
    painter.fillRect(event->rect(), QColor(235, 235, 235));
    QTextBlock block = firstVisibleBlock();
    int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
    while (block.isValid() && top <= event->rect().bottom()) {
        const int height = qRound(blockBoundingRect(block).height());
        if (block.isVisible()) {
            const int line = block.blockNumber() + 1;
            painter.setPen(line == m_errorLine ? Qt::red : Qt::darkGray);
            painter.drawText(0, top, m_numbers->width() - 3, fontMetrics().height(), Qt::AlignRight,
                             QString::number(line));
        }
        top += height;
        block = block.next();
    }
}

void CodeEditor::markErrorLine(int line)
{
    m_errorLine = line;
    QList<QTextEdit::ExtraSelection> marks;
    const QTextBlock block = document()->findBlockByNumber(line - 1);
    if (line > 0 && block.isValid()) {
        QTextEdit::ExtraSelection mark;
        mark.format.setBackground(QColor(255, 200, 200));
        mark.format.setProperty(QTextFormat::FullWidthSelection, true);
        mark.cursor = QTextCursor(block);
        marks << mark;
        setTextCursor(mark.cursor);
        ensureCursorVisible();
    }
    setExtraSelections(marks);
    m_numbers->update();
}

ScriptEditor::ScriptEditor(ScriptHost *host, QWidget *parent)
    : QWidget(parent, Qt::Window), m_host(host), m_edit(new CodeEditor(this)), m_status(new QLabel(this))
{
    setObjectName(QStringLiteral("scriptEditor"));
    setWindowTitle(tr("Velquor Scripts"));
    auto *layout = new QVBoxLayout(this);
    auto *buttons = new QHBoxLayout;
    auto button = [this, buttons](const char *name, const QString &text) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        buttons->addWidget(b);
        return b;
    };
    connect(button("openButton", tr("&Open...")), &QPushButton::clicked, this, &ScriptEditor::open);
    connect(button("evaluateButton", tr("&Evaluate")), &QPushButton::clicked, this, &ScriptEditor::evaluate);
    connect(button("saveButton", tr("&Save")), &QPushButton::clicked, this, &ScriptEditor::save);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    layout->addWidget(m_edit, 1);
    m_status->setObjectName(QStringLiteral("scriptStatus"));
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_status);
    resize(760, 600);
    reload();
}

void ScriptEditor::reload()
{
    m_edit->setPlainText(m_host->source());
    m_edit->document()->setModified(false);
    const ScriptError &e = m_host->lastError();
    if (e.message.isEmpty())
        m_status->clear();
    else
        showError(e.text(), e.line);
}

void ScriptEditor::showError(const QString &text, int line)
{
    m_status->setText(text);
    m_edit->markErrorLine(line);
}

void ScriptEditor::commit()
{
    if (m_edit->toPlainText() != m_host->source())
        m_host->setSource(m_edit->toPlainText());
}

bool ScriptEditor::evaluate()
{
    const bool ok = m_host->setSource(m_edit->toPlainText());
    if (ok)
        showError(tr("evaluated: %1").arg(m_host->fileName()), 0);
    else
        showError(m_host->lastError().text(), m_host->lastError().line);
    return ok;
}

bool ScriptEditor::save()
{
    evaluate();
    const bool ok = m_host->save();
    if (ok)
        m_edit->document()->setModified(false);
    else if (!m_host->loaded())
        m_status->setText(tr("not saved: the project %1 was not loaded").arg(m_host->fileName()));
    else
        m_status->setText(m_host->lastError().text());
    return ok;
}

void ScriptEditor::open()
{
    const QString name = QFileDialog::getOpenFileName(this, tr("Open script project"), m_host->fileName(),
                                                      tr("Script projects (*.qsa);;All files (*)"));
    if (name.isEmpty())
        return;
    m_host->load(name);
    reload();
}

} // namespace velquor::script
