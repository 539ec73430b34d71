#include "app/standardhandlers.h"

#include "app/mainwidow.h"
#include "app/petpagehandler.h"
#include "app/rmcppagehandler.h"
#include "pet/petview.h"
#include "rmcp/rmcpdisplay.h"
#include "rsp/qrsplink.h"

namespace velquor {

void registerStandardHandlers(MainWidow &window)
{
    registerPetViews(window.packetViews());
    registerRmcpViews(window.packetViews());
    // The RMCP pages open their RSP sessions with QRsp.
    rsp::registerQRspManager();
    // Pages without a factory have no handler: their buttons do nothing.
    window.setPageHandlerFactory(MainWidow::PetPageId,
                                 [](MainWidow &w) { return std::make_unique<PetPageHandler>(w); });
    window.setPageHandlerFactory(MainWidow::Rmcp1PageId,
                                 [](MainWidow &w) { return std::make_unique<RmcpPageHandler>(w, 1); });
    window.setPageHandlerFactory(MainWidow::Rmcp2PageId,
                                 [](MainWidow &w) { return std::make_unique<RmcpPageHandler>(w, 2); });
}

} // namespace velquor
