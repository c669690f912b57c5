// The embedded browser of every window, in a module of its own: the client loads it only when
// a window first needs a browser, after the main window has painted, so the web engine and
// the seventy libraries it pulls in are not loaded before the window shows.
#include "silentpage.h"

#include <QWebEngineView>

// A silent browser (no dialogs, prompts or choosers of its own) as a plain widget: the client
// drives it through the view's "url" property and never links the web engine itself.
extern "C" Q_DECL_EXPORT QWidget* quillon_create_web_view(QWidget* parent) {
    auto* view = new QWebEngineView(parent);
    view->setPage(new SilentPage(view));
    return view;
}
