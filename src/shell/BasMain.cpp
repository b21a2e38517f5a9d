#include "shell/BasMain.h"

#include "contacts/Form1.h"
#include "shell/AppError.h"
#include "shell/BasCommn.h"
#include "shell/BasConst.h"
#include "shell/Cp932.h"
#include "shell/ErrorBoundary.h"
#include "shell/History.h"
#include "shell/InstanceLock.h"
#include "shell/MessageBox.h"
#include "shell/RecordFile.h"
#include "shell/frmSplash.h"

#include <QApplication>
#include <QLockFile>
#include <QThread>

#include <memory>

int Main(QApplication &app)
{
    CurrentFormName = QStringLiteral("Form1");
    QLockFile lock(PsLockPass());
    std::unique_ptr<Form1> form;
    int ended = -1; // the exit status when the program ends before its window
    const bool failed = runRoutine(QStringLiteral("Main"), [] {}, [&] {
        if (!Cp932::available())
            throw AppError{ErrNo::NoConverter};
        // The lock lies in the data folder, taken before anything else is done there.
        if (lockDataFolder(lock) == InstanceLock::HeldByOther) {
            MessageBox::show(QStringLiteral("すでに画面は起動済です。2重起動はできません"));
            ended = 0;
            return;
        }

        {
            frmSplash splash;
            splash.show();
            QApplication::processEvents();
            QThread::msleep(1500);
            splash.hide();
        }

        CurrentFormName = QStringLiteral("Form1");
        // A writer killed before its rename leaves its temporary file; this
        // instance holds the lock, so no writer is at work.
        removeStaleTemporaries({PsLoadPass(), PsLoadBackPass(), PsExpPass(), PsMyLoadPass(),
                                PsMyLoadBackPass()});
        removeStaleHistoryTemporaries();
        if (!fileExists(PsLoadPass())) {
            createEmptyFile(PsLoadPass());
            MessageBox::show(QStringLiteral("該当の取込ファイルがありません。新規作成します。"));
            ended = 0;
            return;
        }

        form = std::make_unique<Form1>();
        form->show();
    });
    if (failed)
        return 1;
    if (ended >= 0)
        return ended;
    return app.exec();
}
