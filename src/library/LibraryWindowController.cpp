#include "library/LibraryWindowController.h"

#include "platform/CommandRouter.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const char* const commandProperty = "libraryCommand";

} // namespace

LibraryWindowController::LibraryWindowController(QObject* parent)
    : QObject(parent)
{
}

LibraryWindowController::~LibraryWindowController()
{
    delete window_.data();
}

QString LibraryWindowController::unavailableText()
{
    return QStringLiteral("La bibliothèque de fonds n’est pas encore disponible dans cette version. "
                          "Commencez un document, dessinez un nouveau fond ou ouvrez un fichier .plm ou .plmmap.");
}

QMainWindow* LibraryWindowController::window()
{
    if (!window_)
        buildWindow();
    return window_;
}

void LibraryWindowController::buildWindow()
{
    window_ = new QMainWindow;
    window_->setObjectName(QStringLiteral("Library"));
    window_->setWindowTitle(QStringLiteral("Bibliothèque"));
    window_->resize(560, 260);

    auto* body = new QWidget;
    auto* column = new QVBoxLayout(body);
    column->setContentsMargins(28, 24, 28, 24);
    column->setSpacing(14);
    auto* heading = new QLabel(QStringLiteral("Pelmora Studio"));
    QFont large = heading->font();
    large.setPointSizeF(large.pointSizeF() * 1.5);
    large.setBold(true);
    heading->setFont(large);
    auto* message = new QLabel(unavailableText());
    message->setObjectName(QStringLiteral("Library.Message"));
    message->setWordWrap(true);
    column->addWidget(heading);
    column->addWidget(message);
    column->addStretch(1);

    auto* row = new QHBoxLayout;
    row->addStretch(1);
    const QList<std::pair<QString, QString>> buttons = {
        {QStringLiteral("Nouveau document"), QStringLiteral("newStudioDocument:")},
        {QStringLiteral("Nouveau fond"), QStringLiteral("newFondDocument:")},
        {QStringLiteral("Ouvrir…"), QStringLiteral("openAnyDocument:")},
    };
    for (const auto& [title, command] : buttons) {
        auto* button = new QPushButton(title);
        button->setProperty(commandProperty, command);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, command] { send(command); });
        row->addWidget(button);
    }
    column->addLayout(row);
    window_->setCentralWidget(body);
}

QPushButton* LibraryWindowController::button(const QString& command) const
{
    if (!window_)
        return nullptr;
    for (QPushButton* b : window_->findChildren<QPushButton*>())
        if (b->property(commandProperty).toString() == command)
            return b;
    return nullptr;
}

void LibraryWindowController::send(const QString& command)
{
    // The buttons reach the application delegate through the command chain of this window.
    QWidget* start = button(command);
    for (CommandResponder* responder : CommandRouter::shared().chainFrom(start)) {
        if (!responder->handles(command))
            continue;
        if (responder->validate(command, nullptr).enabled)
            responder->perform(command, start);
        return;
    }
}

void LibraryWindowController::showWindow()
{
    QMainWindow* w = window();
    if (w->isMinimized())
        w->showNormal();
    w->show();
    w->raise();
    w->activateWindow();
}

void LibraryWindowController::close()
{
    if (window_)
        window_->hide();
}

void LibraryWindowController::reload(const std::optional<QString>&)
{
    // No outline to rebuild yet.
    window();
}
