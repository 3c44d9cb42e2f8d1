#include "basemaps/PlmSvgReader.h"
#include "model/PlmErrors.h"
#include "model/PlmMapCodec.h"
#include "support/EventWait.h"

#include <QThread>

#include <gtest/gtest.h>

#include <random>

namespace {

const QByteArray sample = R"svg(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE svg [<!ENTITY ns "http://www.w3.org/2000/svg">]>
<svg xmlns="&ns;" xmlns:xlink="http://www.w3.org/1999/xlink" xmlns:inkscape="i" viewBox="0 0 200 100">
  <title>Départements</title>
  <style><![CDATA[ .a { fill: #3a6; stroke: rgb(10%, 20%, 30%) } rect { stroke-width: 2px } /* c */ #p2 { fill: red } ]]></style>
  <defs><symbol id="s"><circle r="3" fill="url(#g)"/><path d="M0 0 q 5 5 10 0 t 10 0"/></symbol></defs>
  <g id="layer1" inkscape:label="Fond" inkscape:groupmode="layer" transform="matrix(1 0 0 1 5 5)">
    <g id="d75" data-code="75" data-name="Paris" opacity="0.8">
      <path id="p1" class="a" d="M10,10 L50,10 50,40 C 40 50 20 50 10 40 Z m 5 5 h 10 v 10 h -10 z" fill-rule="evenodd"/>
      <path id="p2" d="M60 10 A 20 10 30 1 0 100 30 S 120 60 140 10 l -5 -5 Z" style="stroke:blue;stroke-dasharray:3 1"/>
    </g>
    <rect x="1mm" y="2pt" width="30" height="20" rx="4" transform="rotate(15 10 10) skewX(5)"/>
    <ellipse cx="150" cy="50" rx="20" ry="10" stroke="black" transform="scale(1 2)"/>
    <polygon points="0,0 10,0 10,10" style="display:inline"/>
    <line x1="0" y1="0" x2="1in" y2="1cm" stroke="#f00c"/>
    <use id="u1" xlink:href="#s" x="20" y="30"/>
    <use href="#d75" transform="translate(100)"/>
    <text x="10" y="90" font-family="'DejaVu Sans'" font-size="1.5em" text-anchor="end">Île <tspan x="3">de</tspan> France</text>
  </g>
  <image href="a.png"/>
</svg>
)svg";

const QList<QByteArray> insertions = {
    "<", ">", "&", "&ns;", "\"", "'", "/>", "</g>", "<g>", "-", "e", ".", "1e999", "-1e-999", "#", "%", "NaN",
    "url(", "<use href=\"#d75\"/>", "<use href=\"#layer1\"/>", "<svg>", "<text>", "A 0 0 0 1 1 5 5",
    "rotate(", ")", "Z", "M", "9999999999999999999999", "\xc3", "\x00", "<![CDATA[", "]]>", "<!--", "-->",
    "<!ENTITY x \"&ns;\">", "style=\"opacity:2;stroke-width:-1\"",
};

// Reading either succeeds (the map then validates or is refused by validation) or is refused with
// one French sentence; nothing else may come out, and nothing may crash or hang.
void readAndCheck(const QByteArray& data)
{
    try {
        const PlmSvgReading reading = PlmSvgReader::read(data, QStringLiteral("Fuzz"));
        try {
            PlmMapCodec::validate(reading.map);
        } catch (const PlmMapError&) {
        }
    } catch (const PlmImportError& error) {
        EXPECT_FALSE(error.message().isEmpty());
    }
}

} // namespace

TEST(SvgReaderFuzz, TheSampleReads)
{
    const PlmSvgReading reading = PlmSvgReader::read(sample, QStringLiteral("Exemple"));
    PlmMapCodec::validate(reading.map);
    EXPECT_GE(reading.map.entities.size(), 5);
    EXPECT_EQ(reading.unconverted.value(QStringLiteral("élément SVG image")), 1);
    EXPECT_EQ(reading.unconverted.value(QStringLiteral("remplissage url(#g)")), 1);
}

TEST(SvgReaderFuzz, MutatedSamplesNeverEscape)
{
    std::mt19937 random(20261207);
    for (int round = 0; round < 1500; ++round) {
        QByteArray data = sample;
        const int edits = 1 + int(random() % 4);
        for (int e = 0; e < edits && !data.isEmpty(); ++e) {
            const qsizetype at = qsizetype(random() % quint32(data.size()));
            switch (random() % 5) {
            case 0:
                data[at] = char(random() % 256);
                break;
            case 1:
                data.remove(at, 1 + qsizetype(random() % 40));
                break;
            case 2:
                data.insert(at, insertions[qsizetype(random() % quint32(insertions.size()))]);
                break;
            case 3: {
                const qsizetype length = std::min<qsizetype>(1 + qsizetype(random() % 200), data.size() - at);
                data.insert(at, data.mid(at, length));
                break;
            }
            default:
                data.truncate(at);
                break;
            }
        }
        SCOPED_TRACE(round);
        readAndCheck(data);
    }
}

TEST(SvgReaderFuzz, MutatedAttributeValuesNeverEscape)
{
    // Edits inside attribute values keep the XML well formed, so the lengths, colours,
    // transforms, path data and styles are what gets exercised.
    QList<std::pair<qsizetype, qsizetype>> values;
    for (qsizetype i = sample.indexOf("=\""); i >= 0; i = sample.indexOf("=\"", i + 1)) {
        const qsizetype end = sample.indexOf('"', i + 2);
        values.append({i + 2, end});
    }
    const QByteArray alphabet = "0123456789.-+eE,;: #()%pxmincMmLlZzAaHhVvCcSsQqTtrgbfl";
    std::mt19937 random(7);
    int read = 0;
    for (int round = 0; round < 3000; ++round) {
        QByteArray data = sample;
        const auto [begin, end] = values[qsizetype(random() % quint32(values.size()))];
        QByteArray value = data.mid(begin, end - begin);
        const int edits = 1 + int(random() % 6);
        for (int e = 0; e < edits; ++e) {
            const char c = alphabet[qsizetype(random() % quint32(alphabet.size()))];
            const qsizetype at = value.isEmpty() ? 0 : qsizetype(random() % quint32(value.size()));
            switch (random() % 3) {
            case 0:
                if (!value.isEmpty())
                    value[at] = c;
                break;
            case 1:
                value.insert(at, c);
                break;
            default:
                value.remove(at, 1 + qsizetype(random() % 5));
                break;
            }
        }
        data.replace(begin, end - begin, value);
        SCOPED_TRACE(data.toStdString());
        readAndCheck(data);
        ++read;
    }
    EXPECT_EQ(read, 3000);
}

TEST(SvgReaderFuzz, DeepTreesAndReferencesFitASmallStack)
{
    // The deepest walk the bounds allow: a `use` as deep as it may be followed, drawing a tree
    // as deep as the parser allows, run on a thread with a 1 MB stack.
    QByteArray doc = "<svg><defs><g id=\"deep\">";
    for (int i = 0; i < 250; ++i)
        doc += "<g transform=\"translate(1)\" style=\"fill:red\">";
    doc += "<rect width=\"1\" height=\"1\"/><use href=\"#deep\"/>";
    for (int i = 0; i < 250; ++i)
        doc += "</g>";
    doc += "</g></defs>";
    QByteArray opening;
    QByteArray closing;
    for (int i = 0; i < 126; ++i) {
        opening += "<g>";
        closing += "</g>";
    }
    doc += opening + "<use href=\"#deep\"/>" + closing + "</svg>";

    QString outcome;
    QThread* thread = QThread::create([&] {
        try {
            const PlmSvgReading reading = PlmSvgReader::read(doc, QStringLiteral("Profond"));
            outcome = QString::number(reading.map.entities.size()) + QLatin1Char(' ')
                + QString::number(reading.unconverted.value(QStringLiteral("référence SVG non résolue")));
        } catch (const PlmError& error) {
            outcome = error.message();
        }
    });
    thread->setStackSize(1024 * 1024);
    thread->start();
    ASSERT_TRUE(thread->wait(QDeadlineTimer(EventWait::guard)));
    delete thread;
    EXPECT_EQ(outcome, QStringLiteral("1 1"));
}
