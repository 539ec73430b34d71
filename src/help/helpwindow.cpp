#include "help/helpwindow.h"

#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QStyle>
#include <QToolBar>

namespace velquor {

QString HelpBrowser::missingPageHtml(const QString &path)
{
    return QStringLiteral(
               "<html><head><title>Page not found</title></head><body>"
               "<h2>Page not found</h2>"
               "<p>The manual page <tt>%1</tt> does not exist.</p>"
               "<p>Velquor reads its manual from the directory <tt>doc/html</tt> below the "
               "directory it was started from. Start Velquor from its installation directory "
               "to read the manual.</p></body></html>")
        .arg(path.toHtmlEscaped());
}

QVariant HelpBrowser::loadResource(int type, const QUrl &name)
{
    if (type == QTextDocument::HtmlResource) {
        const QUrl url = name.isRelative() && source().isValid() ? source().resolved(name) : name;
        if (url.isLocalFile() && !QFileInfo::exists(url.toLocalFile()))
            return missingPageHtml(QDir::toNativeSeparators(url.toLocalFile()));
    }
    return QTextBrowser::loadResource(type, name);
}

HelpWindow::HelpWindow(const QString &home, const QString &directory, QWidget *parent)
    : QMainWindow(parent), m_directory(QDir(directory).absolutePath())
{
    setObjectName(QStringLiteral("helpWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlag(Qt::Window);

    m_browser = new HelpBrowser(this);
    m_browser->setObjectName(QStringLiteral("helpBrowser"));
    m_browser->setOpenExternalLinks(true);
    m_browser->setSearchPaths({m_directory.absolutePath()});
    m_browser->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_browser->document()->setDocumentMargin(12);
    setCentralWidget(m_browser);

    QStyle *st = style();
    m_back = new QAction(st->standardIcon(QStyle::SP_ArrowBack), tr("&Back"), this);
    m_back->setObjectName(QStringLiteral("backAction"));
    m_back->setShortcut(QKeySequence::Back);
    m_back->setEnabled(false);
    m_forward = new QAction(st->standardIcon(QStyle::SP_ArrowForward), tr("&Forward"), this);
    m_forward->setObjectName(QStringLiteral("forwardAction"));
    m_forward->setShortcut(QKeySequence::Forward);
    m_forward->setEnabled(false);
    m_home = new QAction(st->standardIcon(QStyle::SP_DirHomeIcon), tr("&Home"), this);
    m_home->setObjectName(QStringLiteral("homeAction"));
    m_print = new QAction(st->standardIcon(QStyle::SP_FileIcon), tr("&Print..."), this);
    m_print->setObjectName(QStringLiteral("printAction"));
    m_print->setShortcut(QKeySequence::Print);
    m_close = new QAction(st->standardIcon(QStyle::SP_DialogCloseButton), tr("&Close"), this);
    m_close->setObjectName(QStringLiteral("closeAction"));
    m_close->setShortcut(QKeySequence::Close);

    m_pathCombo = new QComboBox(this);
    m_pathCombo->setObjectName(QStringLiteral("pathCombo"));
    m_pathCombo->setEditable(false);
    m_pathCombo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_pathCombo->setMinimumContentsLength(24);

    QToolBar *bar = addToolBar(tr("Navigation"));
    bar->setObjectName(QStringLiteral("helpToolBar"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bar->addAction(m_back);
    bar->addAction(m_forward);
    bar->addAction(m_home);
    bar->addSeparator();
    auto *pageLabel = new QLabel(tr("Page:"), bar);
    pageLabel->setContentsMargins(4, 0, 4, 0);
    bar->addWidget(pageLabel);
    bar->addWidget(m_pathCombo);
    bar->addSeparator();
    bar->addAction(m_print);
    bar->addAction(m_close);

    connect(m_back, &QAction::triggered, m_browser, &QTextBrowser::backward);
    connect(m_forward, &QAction::triggered, m_browser, &QTextBrowser::forward);
    connect(m_home, &QAction::triggered, m_browser, &QTextBrowser::home);
    connect(m_print, &QAction::triggered, this, &HelpWindow::print);
    connect(m_close, &QAction::triggered, this, &QWidget::close);
    connect(m_browser, &QTextBrowser::backwardAvailable, m_back, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, m_forward, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::sourceChanged, this, &HelpWindow::pageShown);
    connect(m_pathCombo, &QComboBox::activated, this, &HelpWindow::pathSelected);

    resize(720, 640);
    m_homeUrl = QUrl::fromLocalFile(m_directory.absoluteFilePath(home));
    m_browser->setSource(m_homeUrl);
}

void HelpWindow::pageShown(const QUrl &url)
{
    QUrl page = url;
    page.setFragment(QString());
    int index = m_pathCombo->findData(page);
    if (index < 0) {
        QString label = m_directory.relativeFilePath(page.toLocalFile());
        if (!page.isLocalFile() || label.startsWith(QStringLiteral("..")))
            label = page.toDisplayString(QUrl::PreferLocalFile);
        m_pathCombo->addItem(label, page);
        index = m_pathCombo->count() - 1;
        m_pathCombo->setItemData(index, page.toDisplayString(QUrl::PreferLocalFile), Qt::ToolTipRole);
    }
    m_pathCombo->setCurrentIndex(index);
}

void HelpWindow::pathSelected(int index)
{
    const QUrl page = m_pathCombo->itemData(index).toUrl();
    if (page.isValid() && page != m_browser->source().adjusted(QUrl::RemoveFragment))
        m_browser->setSource(page);
}

void HelpWindow::print()
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(tr("Print Manual Page"));
    if (m_browser->textCursor().hasSelection())
        dialog.setOption(QAbstractPrintDialog::PrintSelection);
    if (dialog.exec() == QDialog::Accepted)
        m_browser->print(&printer);
}

} // namespace velquor
