#include "standardhandlers.h"

#include "mainwidow.h"

namespace velquor {

void registerStandardHandlers(MainWidow &window)
{
    // Each traffic subsystem adds its adapter here, for example
    //   window.setPageHandlerFactory(MainWidow::PetPageId,
    //       [](MainWidow &w) { return std::make_unique<PetPageHandler>(w); });
    // Pages without a factory have no handler: their buttons do nothing.
    (void)window;
}

} // namespace velquor
