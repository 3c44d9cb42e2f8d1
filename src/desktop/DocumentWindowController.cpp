#include "desktop/DocumentWindowController.h"

#include "desktop/CommandRouter.h"
#include "desktop/Document.h"
#include "desktop/WindowTeardown.h"

#include <QCloseEvent>
#include <QMainWindow>
#include <QWindow>

DocumentWindowController::DocumentWindowController(QObject* parent)
    : QObject(parent)
{
}

DocumentWindowController::~DocumentWindowController()
{
    // A subclass's part is gone already: nothing in the window may call into it.
    WindowTeardown::destroy(window_.data());
}

void DocumentWindowController::setDocument(Document* document)
{
    if (document_ == document)
        return;
    disconnect(nameConnection_);
    disconnect(changeConnection_);
    document_ = document;
    if (document_) {
        nameConnection_ = connect(document_, &Document::displayNameChanged, this,
                                  [this] { synchronizeWindowTitleWithDocumentName(); });
        changeConnection_ = connect(document_, &Document::changeCountChanged, this,
                                    [this] { synchronizeWindowTitleWithDocumentName(); });
        if (window_)
            CommandRouter::shared().attach(window_, document_, document_);
    }
    synchronizeWindowTitleWithDocumentName();
}

QWidget* DocumentWindowController::window()
{
    if (!window_) {
        window_ = makeWindow();
        window_->installEventFilter(this);
        // The chain after the window's own widgets: this controller, then the document.
        if (auto* responder = dynamic_cast<CommandResponder*>(this))
            CommandRouter::shared().attach(window_, responder, this);
        if (document_)
            CommandRouter::shared().attach(window_, document_, document_);
        synchronizeWindowTitleWithDocumentName();
        windowDidLoad();
    }
    return window_;
}

void DocumentWindowController::showWindow()
{
    QWidget* w = window();
    // A minimised window stays hidden by show() alone; keep a maximised one maximised.
    if (w->isMinimized())
        w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
    w->show();
    w->raise();
    w->activateWindow();
}

void DocumentWindowController::close()
{
    if (window_)
        window_->hide();
}

QString DocumentWindowController::windowTitleForDocumentDisplayName(const QString& displayName) const
{
    return displayName;
}

void DocumentWindowController::synchronizeWindowTitleWithDocumentName()
{
    if (!window_ || !document_)
        return;
    // "[*]" lets Qt show the edited mark the platform's way.
    window_->setWindowTitle(windowTitleForDocumentDisplayName(document_->displayName()) + QStringLiteral("[*]"));
    window_->setWindowModified(document_->isDocumentEdited());
}

QWidget* DocumentWindowController::makeWindow()
{
    return new QMainWindow;
}

bool DocumentWindowController::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Close || !window_)
        return QObject::eventFilter(watched, event);
    if (askingToClose_ && (watched == window_ || watched == window_->windowHandle())) {
        // A second close while the question shows (the title bar's button, Alt+F4) would reach
        // the window system's window past the question and hide the window with the document
        // still open: that close is refused, the question answers for both.
        event->ignore();
        return true;
    }
    if (watched == window_ && document_ && !document_->isClosed()) {
        // Closing the document's last visible window closes the document, after its question.
        bool otherVisible = false;
        for (DocumentWindowController* wc : document_->windowControllers())
            if (wc != this && wc->isWindowLoaded() && wc->window()->isVisible())
                otherVisible = true;
        if (!otherVisible) {
            if (QWindow* handle = window_->windowHandle())
                handle->installEventFilter(this);
            askingToClose_ = true;
            const bool canClose = document_->canClose();
            askingToClose_ = false;
            if (!canClose) {
                event->ignore();
                return true;
            }
            if (document_)
                document_->close();
        }
    }
    return QObject::eventFilter(watched, event);
}
