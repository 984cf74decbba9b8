// Message boxes, panel repaints and busy work on Qt; the dialogs have files of their own.
#include "qt/WindowServices.h"

#include "app/Texts.h"
#include "platform/BusyWorker.h"
#include "qt/MainWindow.h"

#include <QEventLoop>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTimer>

#include <exception>
#include <limits>
#include <thread>

namespace tesselbox::qt {

QWidget* WindowServices::DialogOwner() const { return window_.Started() ? &window_ : nullptr; }

int WindowServices::Exec(QDialog& dialog) {
    window_.DialogOpening();
    ++dialogsOpen_;
    const int result = dialog.exec();
    // A dialog opened from another's button: the command goes on in the one still open.
    if (--dialogsOpen_ == 0) window_.DialogClosed();
    return result;
}

platform::Answer WindowServices::ShowMessage(const std::string& text, platform::MessageKind kind) {
    const bool question = kind == platform::MessageKind::Question;
    QMessageBox box(question ? QMessageBox::Question : QMessageBox::Critical,
                    QString::fromUtf8(texts::APP_NAME), QString::fromUtf8(text),
                    question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, DialogOwner());
    const int result = Exec(box);
    if (!question) return platform::Answer::Ok;
    return result == QMessageBox::Yes ? platform::Answer::Yes : platform::Answer::No;
}

void WindowServices::InvalidatePanel(int controlId) {
    if (QWidget* panel = window_.Panel(controlId)) panel->update();
}

void WindowServices::RunBusy(const std::function<void()>& work) {
    QEventLoop loop;
    std::exception_ptr failure;
    std::thread worker = platform::StartBusyWorker(
        work, failure, [&loop] { QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection); });
    if (!worker.joinable()) {  // no thread to be had: the window waits
        work();
        return;
    }
    // A bar that only says "busy", shown if the work lasts; the window underneath keeps painting
    // but takes no input until the work is done.
    QProgressDialog progress(DialogOwner());
    progress.setWindowTitle(QString::fromUtf8(texts::APP_NAME));
    progress.setCancelButton(nullptr);
    progress.setRange(0, 0);
    progress.setMinimumDuration(std::numeric_limits<int>::max());
    progress.setWindowModality(Qt::WindowModal);
    QTimer showLater;
    showLater.setSingleShot(true);
    QObject::connect(&showLater, &QTimer::timeout, &progress, &QProgressDialog::show);
    showLater.start(BUSY_INDICATOR_DELAY_MS);
    window_.SetBusyWork(true);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    window_.SetBusyWork(false);
    worker.join();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace tesselbox::qt
