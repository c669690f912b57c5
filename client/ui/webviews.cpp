#include "webviews.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLibrary>
#include <QVariant>

#include <cstdio>

#include <unistd.h>

namespace {

using CreateWebView = QWidget* (*)(QWidget*);

struct WebModule {
    CreateWebView create = nullptr;
    QString path;
};

const WebModule& webModule() {
    static const WebModule module = [] {
        WebModule loaded;
        loaded.path = qEnvironmentVariable("QUILLON_WEB_MODULE");
        if (loaded.path.isEmpty())
            loaded.path = QDir(QCoreApplication::applicationDirPath())
                              .filePath(QStringLiteral("libquillon-web.so"));
        // Never unloaded: the engine keeps threads and exit handlers of its own.
        static QLibrary library;
        library.setFileName(loaded.path);
        library.setLoadHints(QLibrary::PreventUnloadHint);
        loaded.create = reinterpret_cast<CreateWebView>(library.resolve("quillon_create_web_view"));
        if (!loaded.create) {
            const QString why = QFileInfo::exists(loaded.path) ? library.errorString()
                                                               : QStringLiteral("no such file");
            std::fprintf(stderr, "quillon: no web views from %s: %s\n", qPrintable(loaded.path),
                         qPrintable(why));
        }
        return loaded;
    }();
    return module;
}

} // namespace

void prepareWebViews() {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // A banner and a page of stops draw fine without OpenGL, and the software scene graph
    // spares the driver's tens of megabytes.
    if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND"))
        qputenv("QT_QUICK_BACKEND", "software");
    // Nor is the X11 OpenGL integration loaded, which would map the GL driver all the same.
    if (qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX") && geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1"); // the sandbox refuses to run as root
    // One renderer for the few pages the client shows, no spare one kept warm, a small
    // script heap. The zygote can only go where the sandbox is off (it forks the sandbox).
    QByteArray flags = "--renderer-process-limit=1 --disable-features="
                       "SpareRendererForSitePerProcess,BackForwardCache "
                       "--js-flags=--max-old-space-size=32";
    if (qgetenv("QTWEBENGINE_DISABLE_SANDBOX") == "1")
        flags += " --no-zygote";
    const QByteArray own = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", own.isEmpty() ? flags : flags + ' ' + own);
}

QWidget* createWebView(QWidget* parent) {
    const WebModule& module = webModule();
    if (module.create)
        return module.create(parent);
    auto* label = new QLabel(QStringLiteral("网页组件未能加载：") + module.path, parent);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

void setWebViewAddress(QWidget* view, const QUrl& address) {
    view->setProperty("url", address);
}

QUrl webViewAddress(const QWidget* view) {
    return view->property("url").toUrl();
}
