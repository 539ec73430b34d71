#pragma once

#include "app/pagehandler.h"

#include <memory>

class ASF_PET_Handler;
class MainWidow;
class PacketLogView;
class PETConfig;

namespace velquor {

// Connects the PET page to the PET handler: the page shows the handler's
// log, lamps and listener state; its fields mirror the configuration
// dialog's, and its buttons drive the handler.
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
    PETConfig *dialog() const { return m_dialog.get(); }
    PacketLogView *logView() const { return m_logView.get(); }

private:
    void bindPage();
    void pageFromDialogState();

    MainWidow &m_window;
    // Destroyed in reverse: the dialog and the view before the handler they show.
    std::unique_ptr<ASF_PET_Handler> m_handler;
    std::unique_ptr<PacketLogView> m_logView;
    std::unique_ptr<PETConfig> m_dialog;
};

} // namespace velquor
