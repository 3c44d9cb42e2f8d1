#include "page/CarteMapBlockEditor.h"

#include "canvas/VectorCanvas.h"
#include "page/CarteBlockHandles.h"
#include "page/CartePrintPageGuide.h"
#include "inspector/InspectorSection.h"
#include "page/MapScaleSlider.h"
#include "page/ThematicCanvas.h"
#include "model/PlmErrors.h"
#include "model/PlmFrenchNumber.h"
#include "desktop/ViewHost.h"
#include "inspector/TypedField.h"
#include "desktop/WindowTeardown.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>

#include <charconv>
#include <cmath>
#include <numbers>

namespace {

PlmTransform plmTransform(const QTransform& t) { return PlmTransform{t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy()}; }

QTransform qtTransform(const PlmTransform& t) { return QTransform(t.a, t.b, t.c, t.d, t.tx, t.ty); }

QString twoDecimals(double value) { return formatFrenchNumber(value, 15, 2); }

// The block transform with the typed box values (x, y, width, height, angle; none where the
// field shows the block as it is) applied one by one, each changing only what it names: a width
// scales the block along its own first axis and keeps its x, a height along its second axis and
// keeps its y, an angle turns it about its centre, x and y move it. An unturned block keeps its
// other scale and offset exactly.
QTransform withTypedValues(const QRectF& r, QTransform t, const std::optional<double> (&typed)[5])
{
    const QPointF m = r.center();
    const auto values = [&r, &t] { return *CarteMapBlockEditor::blockValues(r, t); };
    if (typed[2]) {
        const auto v = values();
        const double k = *typed[2] / v.width;
        t = QTransform(k * t.m11(), k * t.m12(), t.m21(), t.m22(),
                       t.dx() + (1 - k) * t.m11() * m.x() + (*typed[2] - v.width) / 2,
                       t.dy() + (1 - k) * t.m12() * m.x());
    }
    if (typed[3]) {
        const auto v = values();
        const double k = *typed[3] / v.height;
        t = QTransform(t.m11(), t.m12(), k * t.m21(), k * t.m22(), t.dx() + (1 - k) * t.m21() * m.y(),
                       t.dy() + (1 - k) * t.m22() * m.y() + (*typed[3] - v.height) / 2);
    }
    if (typed[4]) {
        const auto v = values();
        const double turn = (*typed[4] - v.angle) * std::numbers::pi / 180;
        const double cs = std::cos(turn), sn = std::sin(turn);
        const double ex = t.dx() - v.centerX, ey = t.dy() - v.centerY;
        t = QTransform(cs * t.m11() - sn * t.m12(), sn * t.m11() + cs * t.m12(), cs * t.m21() - sn * t.m22(),
                       sn * t.m21() + cs * t.m22(), v.centerX + cs * ex - sn * ey, v.centerY + sn * ex + cs * ey);
    }
    if (typed[0])
        t = QTransform(t.m11(), t.m12(), t.m21(), t.m22(), t.dx() + (*typed[0] - values().x), t.dy());
    if (typed[1])
        t = QTransform(t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy() + (*typed[1] - values().y));
    return t;
}

} // namespace

CarteMapBlockEditor::CarteMapBlockEditor(Document document, ThematicCanvas* canvas, QObject* parent)
    : QObject(parent), m_document(std::move(document)), m_canvas(canvas)
{
    m_section = new InspectorSection(sectionTitle());
    for (int i = 0; i < 5; ++i)
        m_fields.append(new QLineEdit);
    m_scaleField = new QLineEdit;
    m_scaleSlider = new MapScaleSlider(100, 0.1, 1000);

    m_overlay = new CarteBlockHandles(canvas);
    canvas->addSubview(m_overlay);
    QPointer<CarteMapBlockEditor> self(this);
    m_overlay->onChange = [self] {
        if (self)
            self->commitTransform();
    };
    m_overlay->onPreview = [self] {
        if (self)
            self->refreshFields();
    };

    auto* select = new QPushButton(QStringLiteral("Transformer le fond"));
    connect(select, &QPushButton::clicked, this, [this] { selectBlock(); });
    m_section->addRow(select);

    m_scaleField->setObjectName(QStringLiteral("Carte.MapScale"));
    attachTypedField(m_scaleField, QStringLiteral("Échelle du fond (%)"));
    m_scaleSlider->setObjectName(QStringLiteral("Carte.MapScaleSlider"));
    connect(m_scaleSlider, &PaletteSlider::doubleValueChanged, this, [this](double v) { slideScale(v); });
    Document link = m_document;
    m_scaleSlider->onTracking = [link](bool starting) {
        if (starting && link.beginUndoGrouping)
            link.beginUndoGrouping();
        else if (!starting && link.endUndoGrouping)
            link.endUndoGrouping();
    };
    auto* scaleRow = new QWidget;
    auto* scaleLayout = new QHBoxLayout(scaleRow);
    scaleLayout->setContentsMargins(0, 0, 0, 0);
    scaleLayout->setSpacing(8);
    scaleLayout->addWidget(m_scaleSlider, 1);
    m_scaleField->setFixedWidth(70);
    scaleLayout->addWidget(m_scaleField);
    m_section->addRow(InspectorSection::labeledRow(QStringLiteral("Échelle du fond (%)"), scaleRow));

    const QStringList labels = {QStringLiteral("X (pt)"), QStringLiteral("Y (pt)"), QStringLiteral("Largeur (pt)"),
                                QStringLiteral("Hauteur (pt)"), QStringLiteral("Angle (°)")};
    for (int i = 0; i < 5; ++i) {
        attachTypedField(m_fields[i], labels[i]);
        m_section->addRow(InspectorSection::labeledRow(labels[i], m_fields[i]));
    }

    auto* icons = new QWidget;
    auto* iconLayout = new QHBoxLayout(icons);
    iconLayout->setContentsMargins(0, 0, 0, 0);
    iconLayout->setSpacing(6);
    const struct {
        int tag;
        const char* symbol;
        QString tip;
    } buttons[] = {{0, "arrow.up.left.and.arrow.down.right", QStringLiteral("Ajuster à la page")},
                   {1, "arrow.left.and.right", QStringLiteral("Ajuster à la largeur")},
                   {2, "scope", QStringLiteral("Centrer")}};
    for (const auto& b : buttons) {
        QToolButton* button = InspectorSection::iconButton(QString::fromLatin1(b.symbol), b.tip);
        const int tag = b.tag;
        connect(button, &QToolButton::clicked, this, [this, tag] { fitBlock(tag); });
        iconLayout->addWidget(button);
    }
    iconLayout->addStretch(1);
    m_section->addIconRow(icons);

    auto* hint = new QLabel(
        QStringLiteral("Maj : conserver les proportions · Double-clic : entrer dans le groupe · Échap : revenir au bloc"));
    hint->setWordWrap(true);
    hint->setFont(InspectorSection::systemFont(11));
    hint->setStyleSheet(QStringLiteral("color: palette(mid);"));
    m_section->addRow(hint);
}

CarteMapBlockEditor::~CarteMapBlockEditor()
{
    // The overlay may already be gone with its canvas; its callbacks hold the editor weakly,
    // so nothing needs undoing there. A field of the section left as it goes reaches nothing.
    WindowTeardown::destroy(m_section.data());
}

std::optional<CarteMapBlockEditor::BlockValues> CarteMapBlockEditor::blockValues(const QRectF& r, const QTransform& t)
{
    if (r.isNull())
        return std::nullopt;
    BlockValues v;
    const QPointF c = t.map(r.center());
    v.centerX = c.x();
    v.centerY = c.y();
    v.width = r.width() * std::hypot(t.m11(), t.m12());
    v.height = r.height() * std::hypot(t.m21(), t.m22());
    v.x = c.x() - v.width / 2;
    v.y = c.y() - v.height / 2;
    v.angle = std::atan2(t.m12(), t.m11()) * 180 / std::numbers::pi;
    v.scale = 100 * VectorCanvas::blockScale(t);
    return v;
}

std::optional<QTransform> CarteMapBlockEditor::placedTransform(const QRectF& r, double x, double y, double w, double h,
                                                               double angle)
{
    if (r.isNull() || !(r.width() > 0) || !(r.height() > 0))
        return std::nullopt;
    const double sx = w / r.width(), sy = h / r.height();
    const double theta = angle * std::numbers::pi / 180;
    const double a = std::cos(theta) * sx, b = std::sin(theta) * sx;
    const double c = -std::sin(theta) * sy, d = std::cos(theta) * sy;
    const QPointF m = r.center();
    const double px = a * m.x() + c * m.y(), py = b * m.x() + d * m.y();
    return QTransform(a, b, c, d, (x + w / 2) - px, (y + h / 2) - py);
}

std::optional<double> CarteMapBlockEditor::readNumber(const QString& text)
{
    QString t = text;
    t.remove(QChar(0x202F));
    t.remove(QChar(0x00A0));
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    const QByteArray bytes = t.toUtf8();
    if (bytes.isEmpty())
        return std::nullopt;
    const char* begin = bytes.constData();
    const char* end = begin + bytes.size();
    // from_chars takes no leading plus sign; the C notation allows one.
    const char* from = (*begin == '+' && bytes.size() > 1 && begin[1] != '-') ? begin + 1 : begin;
    double value = 0;
    const auto [stop, error] = std::from_chars(from, end, value);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

void CarteMapBlockEditor::refresh()
{
    std::optional<PlmWork> work = m_document.work ? m_document.work() : std::nullopt;
    QTransform t;
    if (work && work->decoration && work->decoration->mapTransform)
        t = qtTransform(*work->decoration->mapTransform);
    storeLive(t);
    m_overlay->setFrame(m_canvas->bounds());
    m_overlay->setNeedsDisplay();
    refreshFields();
}

void CarteMapBlockEditor::refreshFields() { writeFields(false); }

void CarteMapBlockEditor::writeFields(bool includingFocused)
{
    VectorCanvas* vector = m_canvas->vector();
    const std::optional<BlockValues> v = blockValues(vector->originalBlockBounds(), vector->blockTransform);
    if (!v)
        return;
    const auto write = [includingFocused](QLineEdit* field, double value) {
        if (includingFocused)
            field->setText(twoDecimals(value));
        else if (TypedField* typed = TypedField::of(field))
            typed->show(twoDecimals(value));
    };
    const double values[] = {v->x, v->y, v->width, v->height, v->angle};
    for (int i = 0; i < m_fields.size() && i < 5; ++i)
        write(m_fields[i], values[i]);
    write(m_scaleField, v->scale);
    const QSignalBlocker blocker(m_scaleSlider);
    m_scaleSlider->setDoubleRange(std::min(v->scale, 0.1), std::max(v->scale, 1000.0));
    m_scaleSlider->setDoubleValue(v->scale);
}

void CarteMapBlockEditor::attachTypedField(QLineEdit* field, const QString& name)
{
    // A refused entry stays in its field with a beep: the block keeps its place meanwhile.
    TypedField::attach(field, {name, [this, field] { return shownText(field); },
                               [this, field](const QString&) { return field == m_scaleField ? applyTypedScale() : applyTypedBox(field); },
                               [](const QString&) { QApplication::beep(); }, true});
}

QString CarteMapBlockEditor::shownText(const QLineEdit* field) const
{
    VectorCanvas* vector = m_canvas->vector();
    const std::optional<BlockValues> v = blockValues(vector->originalBlockBounds(), vector->blockTransform);
    if (!v)
        return field->text();
    if (field == m_scaleField)
        return twoDecimals(v->scale);
    const double values[] = {v->x, v->y, v->width, v->height, v->angle};
    const qsizetype index = m_fields.indexOf(field);
    return index >= 0 && index < 5 ? twoDecimals(values[index]) : field->text();
}

void CarteMapBlockEditor::storeBlockTransform(PlmWork& work) const
{
    if (!work.decoration)
        work.decoration = PlmDecoration();
    PlmDecoration& layout = *work.decoration;
    VectorCanvas* vector = m_canvas->vector();
    layout.mapTransform = plmTransform(vector->blockTransform);
    layout.compositionSize = PlmPoint{m_canvas->bounds().width(), m_canvas->bounds().height()};
    layout.viewport = m_canvas->compositionViewport ? *m_canvas->compositionViewport : vector->currentViewport();
}

void CarteMapBlockEditor::commitTransform()
{
    if (!m_document.updateWork || !m_document.work || !m_document.work())
        return;
    try {
        m_document.updateWork(actionName(), [this](PlmWork& work) { storeBlockTransform(work); });
    } catch (const PlmError& error) {
        refresh();
        if (m_document.presentError)
            m_document.presentError(error.message());
    } catch (const std::exception& error) {
        refresh();
        if (m_document.presentError)
            m_document.presentError(QString::fromUtf8(error.what()));
    }
}

void CarteMapBlockEditor::storeLive(const QTransform& t)
{
    VectorCanvas* vector = m_canvas->vector();
    vector->blockTransform = t;
    vector->setNeedsDisplay();
    if (vector->onViewportChange)
        vector->onViewportChange();
}

void CarteMapBlockEditor::placeBlock(double x, double y, double w, double h, double angle)
{
    const QRectF r = m_overlay->canvas ? m_overlay->blockBounds() : QRectF();
    if (const std::optional<QTransform> t = placedTransform(r, x, y, w, h, angle))
        showPlaced(*t);
}

void CarteMapBlockEditor::showPlaced(const QTransform& t)
{
    storeLive(t);
    m_overlay->setNeedsDisplay();
    if (m_overlay->onPreview)
        m_overlay->onPreview();
}

QString CarteMapBlockEditor::applyTypedBox(const QLineEdit* only)
{
    // A field showing the block as it is counts for nothing: its rounded text is never read back
    // into the block.
    VectorCanvas* vector = m_canvas->vector();
    const QRectF r = vector->originalBlockBounds();
    const std::optional<BlockValues> v = blockValues(r, vector->blockTransform);
    if (!v)
        return {};
    const double shown[] = {v->x, v->y, v->width, v->height, v->angle};
    std::optional<double> typed[5];
    bool changed = false;
    for (int i = 0; i < m_fields.size() && i < 5; ++i) {
        if ((only && m_fields[i] != only) || m_fields[i]->text() == twoDecimals(shown[i]))
            continue;
        changed = true;
        typed[i] = readNumber(m_fields[i]->text());
        if (!typed[i] || !std::isfinite(*typed[i]))
            return TypedField::notANumber();
    }
    if (!changed)
        return {};
    if (!(v->width > 0 && v->height > 0) || (typed[2] && !(*typed[2] > 1)) || (typed[3] && !(*typed[3] > 1)))
        return QStringLiteral("La largeur et la hauteur du bloc doivent dépasser 1 point.");
    showPlaced(withTypedValues(r, vector->blockTransform, typed));
    commitTransform();
    return {};
}

void CarteMapBlockEditor::editFields()
{
    // The field keeps the focus after Return: the entry is applied or refused, then every
    // field shows the block again.
    applyTypedBox(nullptr);
    writeFields(true);
}

void CarteMapBlockEditor::slideScale(double value)
{
    // The shortest text that reads back to the same number, with a point ("250.0").
    char buffer[400];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (error != std::errc())
        return;
    QString text = QString::fromLatin1(buffer, int(end - buffer));
    if (!text.contains(QLatin1Char('.')))
        text += QStringLiteral(".0");
    m_scaleField->setText(text);
    editScale();
}

QString CarteMapBlockEditor::applyTypedScale()
{
    VectorCanvas* vector = m_canvas->vector();
    const QRectF r = vector->originalBlockBounds();
    const std::optional<double> p = readNumber(m_scaleField->text());
    const std::optional<BlockValues> v = blockValues(r, vector->blockTransform);
    if (!v || m_scaleField->text() == twoDecimals(v->scale))
        return {};
    if (!p || !std::isfinite(*p) || !(*p > 0) || !(v->scale > 0))
        return QStringLiteral("Saisissez une échelle positive, en pourcentage.");
    // The same scale again stores nothing.
    if (!(std::abs(*p - v->scale) > 1e-10))
        return {};
    const double k = (*p / 100) / (v->scale / 100);
    const QTransform& t = vector->blockTransform;
    const double a = k * t.m11(), b = k * t.m12(), c = k * t.m21(), d = k * t.m22();
    const QPointF m = r.center();
    storeLive(QTransform(a, b, c, d, v->centerX - (a * m.x() + c * m.y()), v->centerY - (b * m.x() + d * m.y())));
    commitTransform();
    return {};
}

void CarteMapBlockEditor::editScale()
{
    applyTypedScale();
    writeFields(true);
}

void CarteMapBlockEditor::selectBlock()
{
    m_overlay->setSelected(true);
    VectorCanvas* vector = m_canvas->vector();
    vector->selectedIndex.reset();
    vector->setNeedsDisplay();
    if (ViewHost* h = m_canvas->host())
        h->setFirstResponder(m_overlay);
    refreshFields();
}

QRectF CarteMapBlockEditor::fitArea() const
{
    // To the person the page on the screen is the page: a shown print page is what the export
    // covers, so its printable area is the target and its margins are the margins. Only a page
    // whose margins leave nothing falls back to the composition.
    if (const std::optional<PlmPrintPage> page = m_canvas->pageGuide()->shownPage()) {
        const QRectF printable = ThematicCanvas::printableRect(*page);
        if (printable.width() > 0 && printable.height() > 0)
            return printable;
    }
    return m_canvas->bounds().adjusted(32, 32, -32, -32);
}

void CarteMapBlockEditor::fitBlock(int tag)
{
    VectorCanvas* vector = m_canvas->vector();
    const QRectF r = vector->originalBlockBounds();
    const std::optional<BlockValues> v = blockValues(r, vector->blockTransform);
    if (!v)
        return;
    const QRectF b = fitArea();
    double w = v->width, h = v->height, angle = v->angle;
    if (tag == 0 || tag == 1) {
        double k = b.width() / r.width();
        if (tag == 0)
            k = std::min(k, b.height() / r.height());
        w = k * r.width();
        h = k * r.height();
        angle = 0;
    }
    const double x = b.center().x();
    const double y = tag == 1 ? v->centerY : b.center().y();
    placeBlock(x - w / 2, y - h / 2, w, h, angle);
    m_overlay->setSelected(true);
    m_overlay->setNeedsDisplay();
    commitTransform();
}

void CarteMapBlockEditor::controlTextDidEndEditing(QObject* field)
{
    if (field == m_scaleField)
        editScale();
    else
        editFields();
}
