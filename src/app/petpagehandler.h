#pragma once

#include "app/pagehandler.h"

#include <memory>

class ASF_PET_Handler;
class MainWidow;

namespace velquor {

// Connects the PET page to the PET handler: the page's fields mirror the
// handler's configuration dialog, and the page's buttons drive the handler.
class PetPageHandler : public PageHandler
{
public:
    explicit PetPageHandler(MainWidow &window);
    ~PetPageHandler() override;

    void configure() override;
    void showConfiguration() override;
    void loadPage() override;
    void connectFromPage() override;
    void clearLog() override;
    ASF_Logger *logger() const override;
    void closeConfig() override;

    ASF_PET_Handler *handler() const { return m_handler.get(); }

private:
    void pageFromDialogState();

    MainWidow &m_window;
    std::unique_ptr<ASF_PET_Handler> m_handler;
};

} // namespace velquor
