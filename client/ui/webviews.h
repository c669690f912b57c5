#pragma once

#include <QUrl>

class QWidget;

// The windows' embedded browsers. They come from the module libquillon-web.so, loaded on the
// first call: from the file QUILLON_WEB_MODULE names, else from the program folder. Where it
// cannot be loaded, the view is a label that names the missing module, and the reason goes to
// stderr once.
QWidget* createWebView(QWidget* parent);

// The web engine runs lean (one renderer, software drawing, no GL driver mapped): called
// before the application object exists. What the user sets in the environment still wins.
void prepareWebViews();

void setWebViewAddress(QWidget* view, const QUrl& address);
QUrl webViewAddress(const QWidget* view);
