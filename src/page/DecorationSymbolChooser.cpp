#include "page/DecorationSymbolChooser.h"

#include "platform/SymbolGlyphProvider.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The glyph drawn upright in a square icon.
QIcon glyphIcon(const QString& name)
{
    const std::optional<SymbolGlyph> glyph = SymbolGlyphProvider::glyph(name);
    if (!glyph || glyph->size.isEmpty())
        return {};
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const double s = 28 / std::max(glyph->size.width(), glyph->size.height());
    painter.translate(16 - glyph->size.width() * s / 2, 16 + glyph->size.height() * s / 2);
    painter.scale(s, -s);
    painter.fillPath(glyph->outline, QColor(40, 40, 40));
    return QIcon(pixmap);
}

} // namespace

DecorationSymbolChooser::DecorationSymbolChooser(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Symboles"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* column = new QVBoxLayout(this);
    m_filter = new QLineEdit;
    m_filter->setPlaceholderText(QStringLiteral("Rechercher"));
    m_filter->setClearButtonEnabled(true);
    column->addWidget(m_filter);
    m_list = new QListWidget;
    m_list->setViewMode(QListView::IconMode);
    m_list->setIconSize(QSize(32, 32));
    m_list->setGridSize(QSize(110, 64));
    m_list->setResizeMode(QListView::Adjust);
    column->addWidget(m_list, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Choisir"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annuler"));
    column->addWidget(buttons);
    connect(m_filter, &QLineEdit::textChanged, this, [this] { refill(); });
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this] { choose(); });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { choose(); });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] { close(); });
    resize(480, 420);
    refill();
}

QStringList DecorationSymbolChooser::names(const QString& filter)
{
    QStringList names;
    for (const QString& name : SymbolGlyphProvider::availableNames())
        if (name.contains(filter.trimmed(), Qt::CaseInsensitive))
            names.append(name);
    return names;
}

void DecorationSymbolChooser::refill()
{
    m_list->clear();
    for (const QString& name : names(m_filter->text()))
        new QListWidgetItem(glyphIcon(name), name, m_list);
    if (m_list->count() > 0)
        m_list->setCurrentRow(0);
}

void DecorationSymbolChooser::choose()
{
    QListWidgetItem* item = m_list->currentItem();
    if (!item)
        return;
    const QString name = item->text();
    const std::function<void(const QString&)> report = chosen;
    close();
    if (report)
        report(name);
}
