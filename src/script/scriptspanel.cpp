#include "script/scriptspanel.h"

#include "script/scripteditor.h"
#include "script/scripthost.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpacerItem>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace velquor::script {

namespace {
constexpr int ClassRole = Qt::UserRole + 1;  // the class of a function row ("" for global)
constexpr int StaticRole = Qt::UserRole + 2;
} // namespace

Scripts::Scripts(ScriptHost *host, QFrame *frame)
    : QObject(frame), m_host(host), m_list(new QTreeWidget(frame)), m_stop(new QPushButton(frame)),
      m_error(new QLabel(frame)), m_whiteTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("Scripts"));
    auto *layout = new QVBoxLayout(frame);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->setObjectName(QStringLiteral("ScriptFrameLayout"));

    m_list->setObjectName(QStringLiteral("scriptList"));
    m_list->setHeaderLabels({tr("Scripts")});
    m_list->setRootIsDecorated(true);
    m_list->header()->setStretchLastSection(true);
    m_list->setSortingEnabled(true);
    m_list->sortByColumn(0, Qt::AscendingOrder);
    m_list->setAutoFillBackground(true);
    layout->addWidget(m_list, 1);

    auto *row = new QHBoxLayout;
    row->setObjectName(QStringLiteral("layout13_2"));
    auto *edit = new QPushButton(tr("Edit"), frame);
    edit->setObjectName(QStringLiteral("pushButton7"));
    edit->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto *update = new QPushButton(tr("Update"), frame);
    update->setObjectName(QStringLiteral("pushButton8"));
    m_stop->setObjectName(QStringLiteral("stopButton"));
    m_stop->setText(tr("Stop"));
    m_stop->setEnabled(false);
    row->addWidget(edit);
    row->addItem(new QSpacerItem(14, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    row->addWidget(m_stop);
    row->addWidget(update);
    layout->addLayout(row);
    m_error->setObjectName(QStringLiteral("scriptError"));
    m_error->setWordWrap(true);
    m_error->setStyleSheet(QStringLiteral("color: rgb(200, 0, 0)"));
    layout->addWidget(m_error);

    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *item) { runScript(item); });
    connect(edit, &QPushButton::clicked, this, &Scripts::openIDE);
    connect(update, &QPushButton::clicked, this, &Scripts::updateScripts);
    connect(m_stop, &QPushButton::clicked, this, &Scripts::stopScript);
    m_whiteTimer->setSingleShot(true);
    connect(m_whiteTimer, &QTimer::timeout, this, [this] { setListColour(QColor(255, 255, 255)); });
    updateScripts();
}

Scripts::~Scripts()
{
    delete m_editor;
}

ScriptEditor *Scripts::editor() const
{
    return m_editor;
}

void Scripts::setListColour(const QColor &colour)
{
    QPalette p = m_list->palette();
    p.setColor(QPalette::Base, colour);
    m_list->setPalette(p);
}

void Scripts::updateScripts()
{
    if (m_host->running())
        return;
    // The editor's text becomes the project, which is evaluated and, when
    // it came from its file and was changed, saved.
    if (m_editor)
        m_editor->commit();
    else
        m_host->evaluate();
    m_host->save();
    m_error->setText(m_host->lastError().text());

    m_list->clear();
    for (const ScriptClass &c : m_host->classes()) {
        auto *item = new QTreeWidgetItem(m_list, {c.name.mid(2)});
        for (const ScriptFunction &f : c.functions) {
            auto *child = new QTreeWidgetItem(item, {f.name});
            child->setData(0, ClassRole, c.name);
            child->setData(0, StaticRole, f.isStatic);
        }
        item->setExpanded(true);
    }
    auto *global = new QTreeWidgetItem(m_list, {QStringLiteral("(global)")});
    for (const ScriptFunction &f : m_host->globalFunctions()) {
        auto *child = new QTreeWidgetItem(global, {f.name});
        child->setData(0, ClassRole, QString());
    }
    global->setExpanded(false);
}

void Scripts::runScript(QTreeWidgetItem *item)
{
    if (!item || m_host->running())
        return;
    ScriptFunction f;
    f.name = item->text(0);
    // A class row or "(global)" names no function: the call reports that.
    if (item->parent()) {
        f.className = item->data(0, ClassRole).toString();
        f.isStatic = item->data(0, StaticRole).toBool();
    }
    m_whiteTimer->stop();
    setListColour(QColor(100, 100, 100));
    m_list->setEnabled(false);
    m_stop->setEnabled(true);
    if (m_editor)
        m_editor->commit();
    const RunResult r = m_host->run(f);
    m_stop->setEnabled(false);
    m_list->setEnabled(true);
    m_whiteTimer->start(100);
    switch (r.outcome) {
    case RunResult::Passed:
        m_error->setText(QString());
        break;
    case RunResult::Failed:
        m_error->setText(tr("failed: %1").arg(r.failures.join(QStringLiteral("; "))));
        break;
    case RunResult::Error:
    case RunResult::TimedOut:
        m_error->setText(r.error.text());
        if (m_editor && r.error.line > 0)
            m_editor->showError(r.error.text(), r.error.line);
        break;
    }
}

void Scripts::openIDE()
{
    if (!m_editor)
        m_editor = new ScriptEditor(m_host);
    m_editor->show();
    m_editor->raise();
    m_editor->activateWindow();
}

void Scripts::stopScript()
{
    m_host->stop();
}

} // namespace velquor::script
