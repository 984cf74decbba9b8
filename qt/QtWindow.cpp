#include "qt/QtWindow.h"

#include "app/Commands.h"
#include "app/Texts.h"
#include "app/WindowLayout.h"
#include "qt/QtPanels.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QIcon>
#include <QPainter>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <exception>
#include <limits>
#include <system_error>
#include <thread>

namespace tesselbox::qt {
namespace {

QPointer<QWidget> mainWindow;
QPointer<QWidget> sourcePanel;
QPointer<QWidget> previewPanel;
bool commandRunning = false;
bool busyCursor = false;
bool busyWork = false;  // RunBusy is waiting for its work

void EndBusyCursor() {
    if (busyCursor) QApplication::restoreOverrideCursor();
    busyCursor = false;
}

QRect ToQRect(layout::Rect r) { return {r.x, r.y, r.width, r.height}; }

class PanelWidget : public QWidget {
public:
    PanelWidget(const AppState& state, int controlId, QWidget* parent)
        : QWidget(parent), state_(state), controlId_(controlId) {
        setAttribute(Qt::WA_OpaquePaintEvent);  // the draw functions cover every pixel
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        platform::PanelCanvas canvas{painter};
        DispatchDrawItem(state_, controlId_, canvas);
    }

private:
    const AppState& state_;
    int controlId_;
};

}  // namespace

void ConfigureApplication(QApplication& application) {
    application.setApplicationName(texts::APP_NAME);
    application.setApplicationVersion(TESSELBOX_VERSION);
    application.setDesktopFileName("tesselbox");
    application.setWindowIcon(QIcon(":/tesselbox/icon-64.png"));
}

MainWindow::MainWindow(std::filesystem::path colorTablePath) {
    state_.colorTablePath = std::move(colorTablePath);
    setWindowTitle(texts::APP_NAME);
    // Caption, system menu, minimize and close; no maximize button, and a fixed size.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(layout::CLIENT_WIDTH, layout::CLIENT_HEIGHT);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(layout::CenteredX(area.width()), layout::CenteredY(area.height()));
    }
}

MainWindow::~MainWindow() {
    OnDestroy(state_);
    if (mainWindow == this) mainWindow = nullptr;
}

bool MainWindow::Start() {
    if (!OnCreate(state_)) return false;
    mainWindow = this;

    auto addButton = [this](const char* text, layout::Rect where, int controlId) {
        auto* button = new QPushButton(QString::fromUtf8(text), this);
        button->setGeometry(ToQRect(where));
        connect(button, &QPushButton::clicked, this,
                [this, controlId] {
                    commandRunning = true;
                    DispatchCommand(state_, 0, controlId);
                    commandRunning = false;
                    EndBusyCursor();
                });
        return button;
    };
    chooseButton_ = addButton(texts::CHOOSE_PICTURE, layout::CHOOSE_BUTTON,
                              layout::IDC_CHOOSE_PICTURE);
    generateButton_ = addButton(texts::GENERATE, layout::GENERATE_BUTTON, layout::IDC_GENERATE);

    sourcePanel_ = new PanelWidget(state_, layout::IDC_SOURCE_PANEL, this);
    sourcePanel_->setGeometry(ToQRect(layout::SOURCE_PANEL));
    previewPanel_ = new PanelWidget(state_, layout::IDC_PREVIEW_PANEL, this);
    previewPanel_->setGeometry(ToQRect(layout::PREVIEW_PANEL));
    sourcePanel = sourcePanel_;
    previewPanel = previewPanel_;
    return true;
}

QPushButton* MainWindow::Button(int controlId) const {
    if (controlId == layout::IDC_CHOOSE_PICTURE) return chooseButton_;
    if (controlId == layout::IDC_GENERATE) return generateButton_;
    return nullptr;
}

QWidget* MainWindow::Panel(int controlId) const {
    if (controlId == layout::IDC_SOURCE_PANEL) return sourcePanel_;
    if (controlId == layout::IDC_PREVIEW_PANEL) return previewPanel_;
    return nullptr;
}

bool MainWindow::focusNextPrevChild(bool) { return false; }

void MainWindow::closeEvent(QCloseEvent* event) {
    if (busyWork) {
        event->ignore();  // the work under way writes into this window's state
        return;
    }
    QWidget::closeEvent(event);
}

QWidget* DialogOwner() { return mainWindow.data(); }

void DialogOpening() { EndBusyCursor(); }

void DialogClosed() {
    if (!commandRunning || mainWindow == nullptr) return;
    mainWindow->repaint();
    if (!busyCursor) QApplication::setOverrideCursor(Qt::WaitCursor);
    busyCursor = true;
}

QWidget* FindPanel(int controlId) {
    if (controlId == layout::IDC_SOURCE_PANEL) return sourcePanel.data();
    if (controlId == layout::IDC_PREVIEW_PANEL) return previewPanel.data();
    return nullptr;
}

}  // namespace tesselbox::qt

namespace tesselbox::platform {

void RunBusy(const std::function<void()>& work) {
    QEventLoop loop;
    std::exception_ptr failure;
    std::thread worker;
    try {
        worker = std::thread([&] {
            try {
                work();
            } catch (...) {
                failure = std::current_exception();
            }
            QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {  // no thread to be had: the window waits
        work();
        return;
    }
    // A bar that only says "busy", shown if the work lasts; the window underneath keeps painting
    // but takes no input until the work is done.
    QProgressDialog progress(qt::DialogOwner());
    progress.setWindowTitle(QString::fromUtf8(texts::APP_NAME));
    progress.setCancelButton(nullptr);
    progress.setRange(0, 0);
    progress.setMinimumDuration(std::numeric_limits<int>::max());
    progress.setWindowModality(Qt::WindowModal);
    QTimer showLater;
    showLater.setSingleShot(true);
    QObject::connect(&showLater, &QTimer::timeout, &progress, &QProgressDialog::show);
    showLater.start(qt::BUSY_INDICATOR_DELAY_MS);
    qt::busyWork = true;
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    qt::busyWork = false;
    worker.join();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace tesselbox::platform
