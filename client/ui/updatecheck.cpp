#include "updatecheck.h"

#include "form1.h"
#include "form5.h"
#include "release/manifest.h"
#include "messages.h"
#include "module1.h"
#include "release/profile.h"
#include "program.h"

#include <QTimer>
#include <QUrl>

namespace {
constexpr int kCheckInterval = 5000;
}

void runUpdateCheck(QTimer* Timer2, Form1* owner) {
    runUpdateCheck(Timer2, owner, [owner] { owner->unloadForUpdate(); });
}

void runUpdateCheck(QTimer* Timer2, QWidget* owner, const std::function<void()>& unload) {
    if (Timer2->interval() != kCheckInterval)
        return;
    // Off before the fetch, so a slow fetch or a long-open prompt never starts a second check.
    Timer2->stop();
    if (!Program::SelfUpdate)
        return; // the package manager updates a system-wide install
    const QStringList fields = manifest::cutManifest(
        Module1::FetchPage(QUrl(Program::Services.manifest), QStringLiteral("gb2312")));
    manifest::applyManifest(fields, Program::NewVersion, Program::UpdateFiles);
    if (!writeProfileString(QStringLiteral("update"), QStringLiteral("http"),
                            manifest::manifestField(fields, manifest::kBaseAddressField),
                            Program::IniPath)) {
        showMessage(owner, QStringLiteral("无法写入%1,不能升级。").arg(Program::IniPath));
        return;
    }
    if (!manifest::offersUpdate(Program::NewVersion, Program::CurVersion))
        return;
    Form5 prompt(owner, unload);
    prompt.setOffer(Program::NewVersion, Program::UpdateFiles,
                    manifest::manifestField(fields, manifest::kNotesField));
    prompt.exec();
}
