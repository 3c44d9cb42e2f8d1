#include "online/OnlineWindowController.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMainWindow>
#include <QVBoxLayout>

OnlineWindowController::OnlineWindowController(QObject* parent)
    : QObject(parent)
{
    buildWindow();
}

OnlineWindowController::~OnlineWindowController()
{
    delete window_.data();
}

QString OnlineWindowController::unavailableText()
{
    return QStringLiteral("Le catalogue des fonds en ligne n’est pas encore disponible dans cette version.");
}

void OnlineWindowController::buildWindow()
{
    window_ = new QMainWindow;
    window_->setObjectName(QStringLiteral("Online"));
    window_->setWindowTitle(QStringLiteral("Fonds en ligne"));
    window_->resize(520, 220);

    auto* body = new QWidget;
    auto* column = new QVBoxLayout(body);
    column->setContentsMargins(24, 20, 24, 20);
    column->setSpacing(12);
    auto* message = new QLabel(unavailableText());
    message->setObjectName(QStringLiteral("Online.Message"));
    message->setWordWrap(true);
    destinationLabel = new QLabel;
    destinationLabel->setObjectName(QStringLiteral("Online.Destination"));
    column->addWidget(message);
    column->addWidget(destinationLabel);
    column->addStretch(1);
    window_->setCentralWidget(body);
}

void OnlineWindowController::present(const std::optional<QString>& destination, bool opensInStudio)
{
    destination_ = destination;
    opensInStudio_ = opensInStudio;
    if (destination && !destination->isEmpty()) {
        const QString clean = QDir::cleanPath(*destination);
        destinationLabel->setText(QStringLiteral("Destination : ") + QFileInfo(clean).fileName());
        destinationLabel->setToolTip(QDir::toNativeSeparators(clean));
    } else {
        destinationLabel->setText(QStringLiteral("Destination : —"));
        destinationLabel->setToolTip(QString());
    }
    if (window_->isMinimized())
        window_->showNormal();
    window_->show();
    window_->raise();
    window_->activateWindow();
}
