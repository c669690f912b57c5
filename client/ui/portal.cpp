#include "portal.h"

#include "program.h"

#include <QDesktopServices>
#include <QUrl>

void OpenPortal() {
    QDesktopServices::openUrl(QUrl(Program::Services.portal));
}
