#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

class Document;

// Drives one window of a document, in place of the platform window controller. The document
// owns its window controllers; a controller owns its window. The window's title follows the
// document's name and edited state, and closing the window by its title bar asks the
// document whether it may close.
class DocumentWindowController : public QObject {
    Q_OBJECT
public:
    explicit DocumentWindowController(QObject* parent = nullptr);
    ~DocumentWindowController() override;

    Document* document() const { return document_; }
    // Called by Document::addWindowController.
    virtual void setDocument(Document* document);

    // The window, made on first use.
    QWidget* window();
    bool isWindowLoaded() const { return !window_.isNull(); }
    virtual void showWindow();
    // Orders the window out; the controller and window stay until the document goes.
    virtual void close();

    virtual QString windowTitleForDocumentDisplayName(const QString& displayName) const;
    void synchronizeWindowTitleWithDocumentName();

protected:
    // Makes the window; called once. By default an empty main window.
    virtual QWidget* makeWindow();
    // Called once the window exists and is attached to the command chain.
    virtual void windowDidLoad() {}
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<Document> document_;
    QPointer<QWidget> window_;
    QMetaObject::Connection nameConnection_;
    QMetaObject::Connection changeConnection_;
    // While the document's close question shows for this window.
    bool askingToClose_ = false;
};
