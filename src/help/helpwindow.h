#pragma once

#include <QDir>
#include <QMainWindow>
#include <QTextBrowser>

class QAction;
class QComboBox;

namespace velquor {

// A text browser that reads pages from the manual directory and answers a
// missing page with an explanation instead of an empty view.
class HelpBrowser : public QTextBrowser
{
    Q_OBJECT

public:
    using QTextBrowser::QTextBrowser;
    QVariant loadResource(int type, const QUrl &name) override;

    // The page shown for a manual page that does not exist.
    static QString missingPageHtml(const QString &path);
};

// The user manual: a browser over the HTML pages of one directory with
// back, forward, home, print, close and a list of the pages visited.
class HelpWindow : public QMainWindow
{
    Q_OBJECT

public:
    // home is a file name inside directory, which may be relative to the
    // working directory ("./doc/html").
    HelpWindow(const QString &home, const QString &directory, QWidget *parent = nullptr);

    HelpBrowser *browser() const { return m_browser; }
    QComboBox *pathCombo() const { return m_pathCombo; }
    QAction *backAction() const { return m_back; }
    QAction *forwardAction() const { return m_forward; }
    QAction *homeAction() const { return m_home; }
    QAction *printAction() const { return m_print; }
    QAction *closeAction() const { return m_close; }
    QUrl homeUrl() const { return m_homeUrl; }

public slots:
    void print();

private:
    void pageShown(const QUrl &url);
    void pathSelected(int index);

    QDir m_directory;
    QUrl m_homeUrl;
    HelpBrowser *m_browser;
    QComboBox *m_pathCombo;
    QAction *m_back, *m_forward, *m_home, *m_print, *m_close;
};

} // namespace velquor
