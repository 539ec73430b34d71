#include "app/standardhandlers.h"

#include "app/mainwidow.h"
#include "app/petpagehandler.h"

namespace velquor {

void registerStandardHandlers(MainWidow &window)
{
    // Pages without a factory have no handler: their buttons do nothing.
    window.setPageHandlerFactory(MainWidow::PetPageId,
                                 [](MainWidow &w) { return std::make_unique<PetPageHandler>(w); });
}

} // namespace velquor
