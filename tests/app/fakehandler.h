#pragma once

#include "asflogger.h"
#include "mainwidow.h"
#include "pagehandler.h"

#include <QFrame>
#include <QStringList>
#include <memory>

// Stands in for a traffic handler: writes every call the window makes into a
// journal ("RMCP1:configure") and owns a real packet log in the page's frame.
class FakeHandler : public velquor::PageHandler
{
public:
    FakeHandler(const QString &name, QStringList *journal, QWidget *logFrame)
        : m_name(name), m_journal(journal), m_logger(std::make_unique<ASF_Logger>())
    {
        m_logger->setObjectName(name);
        m_logger->setLogFrame(logFrame);
        m_logger->initList();
        note(QStringLiteral("create"));
    }

    void configure() override { note(QStringLiteral("configure")); }
    void showConfiguration() override { note(QStringLiteral("show")); }
    void loadPage() override { note(QStringLiteral("load")); }
    void connectFromPage() override { note(QStringLiteral("connect")); }
    void abortFromPage() override { note(QStringLiteral("abort")); }
    void clearLog() override { note(QStringLiteral("clear")); }
    void closeConfig() override { note(QStringLiteral("close")); }
    ASF_Logger *logger() const override { return m_logger.get(); }

private:
    void note(const QString &what) { m_journal->append(m_name + QLatin1Char(':') + what); }

    QString m_name;
    QStringList *m_journal;
    std::unique_ptr<ASF_Logger> m_logger;
};

// Gives all three traffic pages of window a FakeHandler.
inline void installFakeHandlers(MainWidow &window, QStringList *journal)
{
    window.setPageHandlerFactory(MainWidow::PetPageId, [journal](MainWidow &w) {
        return std::make_unique<FakeHandler>(QStringLiteral("PET"), journal, w.petPage().PET_ShowLog_Frame);
    });
    window.setPageHandlerFactory(MainWidow::Rmcp1PageId, [journal](MainWidow &w) {
        return std::make_unique<FakeHandler>(QStringLiteral("RMCP1"), journal, w.rmcpPage(1).RMCP_ShowLog_Frame);
    });
    window.setPageHandlerFactory(MainWidow::Rmcp2PageId, [journal](MainWidow &w) {
        return std::make_unique<FakeHandler>(QStringLiteral("RMCP2"), journal, w.rmcpPage(2).RMCP_ShowLog_Frame);
    });
}
