#pragma once

#include <functional>
#include <memory>

class ASF_Logger;
class MainWidow;

namespace velquor {

// What the main window needs from the traffic handler behind one page (PET,
// RMCP 1, RMCP 2). An adapter per handler type implements it over the
// handler and the page's widgets; the window forwards its page buttons to it
// and does nothing for a page whose handler does not exist.
class PageHandler
{
public:
    virtual ~PageHandler() = default;

    // The handler's configure(): fills and raises its configuration dialog.
    virtual void configure() = 0;
    // The user asked for the configuration: configure() and show the dialog.
    virtual void showConfiguration() { configure(); }
    // Copies the configuration dialog's values into the page's fields.
    virtual void loadPage() = 0;
    // The page's Connect button: page fields into the dialog, connect (or
    // toggle the connection), and the dialog's state back into the page.
    virtual void connectFromPage() = 0;
    // The page's Abort button; pages without one ignore it.
    virtual void abortFromPage() {}
    // The page's Clear Log button: clears the log and restarts the shared log clock.
    virtual void clearLog() = 0;
    // The page's packet log, or null.
    virtual ASF_Logger *logger() const = 0;
    // Closes the configuration dialog when the program quits.
    virtual void closeConfig() {}
};

// Creates the handler of one page; may return null when it cannot.
using PageHandlerFactory = std::function<std::unique_ptr<PageHandler>(MainWidow &window)>;

} // namespace velquor
