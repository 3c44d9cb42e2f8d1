#include "basemaps/EPSImporter.h"
#include "basemaps/PlmVectorImporter.h"
#include "model/PlmErrors.h"
#include "model/PlmMapCodec.h"
#include "model/PlmText.h"
#include "support/ErrorCapture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>
#include <random>

namespace {

PlmImportResult run(const QByteArray& body)
{
    return EPSImporter::importMap("%!PS-Adobe-3.0\n" + body, QStringLiteral("carte"));
}

QString failure(const QByteArray& body, const QByteArray& head = "%!PS-Adobe-3.0\n")
{
    return thrownMessage<PlmImportError>([&] { EPSImporter::importMap(head + body, QStringLiteral("carte")); });
}

const PlmVectorPath& pathOf(const PlmEntity& entity)
{
    return *entity.geometry.asPath();
}

const QString noEntity = QStringLiteral("Aucun tracé ou texte EPS convertible. Source non exécutée.");
QString incomplete(const char* op)
{
    return QStringLiteral("Arguments PostScript incomplets pour l’opérateur « %1 ».").arg(QLatin1String(op));
}

} // namespace

TEST(EpsImporterTest, signatureHeaderAndBodyStart)
{
    EXPECT_TRUE(EPSImporter::isPostScript(QByteArray(100, 'x') + "%!PS"));
    EXPECT_FALSE(EPSImporter::isPostScript(QByteArray(1048576, 'x') + "%!PS"));
    // The last place a signature may start, and one found only after a false start.
    EXPECT_TRUE(EPSImporter::isPostScript(QByteArray(1048575, 'x') + "%!PS" + QByteArray(10, 'x')));
    EXPECT_TRUE(EPSImporter::isPostScript(QByteArray(1048574, 'x') + "%%!PS"));
    EXPECT_EQ(failure("", "no signature"), QStringLiteral("Signature PostScript absente."));

    const PlmImportResult preview = EPSImporter::importMap("\xc5\xd0\xd3\xc6 binary (((%!PS\n0 0 moveto 1 1 lineto stroke",
                                                           QStringLiteral("carte"));
    EXPECT_EQ(preview.map.entities.size(), 1);
    EXPECT_EQ(preview.map.metadata.value(QStringLiteral("source.format")), QStringLiteral("PostScript"));
    EXPECT_FALSE(preview.isNativeDocument);

    EXPECT_EQ(failure("0 0 moveto 1 1 lineto stroke\n%%EndProlog\n"), noEntity);
    EXPECT_EQ(run("0 0 m 1 1 l S %%EndProlog\n%%EndSetup\n0 0 m 2 2 l S").map.entities.size(), 1);

    QByteArray lines = "%%Title:  Mon titre \t\r\n%%Creator: Adobe Illustrator\n%%NoColon\n%%Empty:\n";
    for (int i = 5; i <= 100; ++i)
        lines += "%\n";
    lines += "%%Late: no\n0 0 m 1 1 l S";
    const PlmImportResult header = run(lines);
    EXPECT_EQ(header.map.metadata.value(QStringLiteral("eps.Title")), QStringLiteral("Mon titre"));
    EXPECT_EQ(header.map.metadata.value(QStringLiteral("source.format")), QStringLiteral("EPS Illustrator"));
    EXPECT_FALSE(header.map.metadata.contains(QStringLiteral("eps.Late")));
    EXPECT_FALSE(header.map.metadata.contains(QStringLiteral("eps.Empty")));
    EXPECT_FALSE(header.map.metadata.contains(QStringLiteral("eps.NoColon")));
}

TEST(EpsImporterTest, pathsOperandsAndArcs)
{
    const PlmImportResult line = run("10 20 moveto 30 40 lineto stroke");
    ASSERT_EQ(line.map.entities.size(), 1);
    const PlmEntity& entity = line.map.entities[0];
    EXPECT_EQ(pathOf(entity).commands, (QList<PlmPathCommand>{PlmPathCommand::move({10, 20}), PlmPathCommand::line({30, 40})}));
    EXPECT_FALSE(entity.style.fill.has_value());
    EXPECT_EQ(entity.style.stroke, (PlmColor{0, 0, 0, 1}));
    EXPECT_EQ(entity.style.lineWidth, 1);
    EXPECT_EQ(entity.style.dash, QList<double>());
    EXPECT_TRUE(entity.attributes.isEmpty());

    EXPECT_EQ(pathOf(run("5 10 20 moveto 1 1 lineto S").map.entities[0]).commands.first(), PlmPathCommand::move({10, 20}));
    EXPECT_EQ(failure("5 moveto"), incomplete("moveto"));

    constexpr double pi = std::numbers::pi;
    const PlmImportResult circle = run("0 0 10 0 360 arc S");
    const auto& commands = pathOf(circle.map.entities[0]).commands;
    ASSERT_EQ(commands.size(), 2);
    EXPECT_EQ(commands[0], PlmPathCommand::move({10, 0}));
    EXPECT_DOUBLE_EQ(commands[1].asArc()->sweep, 2 * pi);
    EXPECT_DOUBLE_EQ(pathOf(run("0 0 10 0 -90 arcn S").map.entities[0]).commands[1].asArc()->sweep, -pi / 2);
    EXPECT_DOUBLE_EQ(pathOf(run("0 0 10 90 0 arc S").map.entities[0]).commands[1].asArc()->sweep, 3 * pi / 2);
    EXPECT_EQ(failure("0 0 -1 0 90 arc S"), QStringLiteral("Rayon PostScript invalide."));

    // A segment without a move starts at the current point, so the map stays valid.
    const PlmImportResult bare = run("5 5 lineto 6 6 lineto closepath stroke");
    EXPECT_EQ(pathOf(bare.map.entities[0]).commands.first(), PlmPathCommand::move({0, 0}));
    EXPECT_NO_THROW(PlmMapCodec::validate(bare.map));
}

TEST(EpsImporterTest, coloursWidthsAndDashes)
{
    const PlmEntity gray = run("0.5 setgray 0 0 m 1 0 l 1 1 l B").map.entities[0];
    EXPECT_EQ(gray.style.fill, (PlmColor{0.5, 0.5, 0.5, 1}));
    EXPECT_EQ(gray.style.stroke, (PlmColor{0.5, 0.5, 0.5, 1}));
    const PlmEntity k = run("1 0 0 0 K 0 0 0 1 k 0 0 m 1 0 l 1 1 l B").map.entities[0];
    EXPECT_EQ(k.style.fill, (PlmColor{0, 0, 0, 1}));
    EXPECT_EQ(k.style.stroke, (PlmColor{0, 1, 1, 1}));
    EXPECT_EQ(run("1 0 0 0 setcmykcolor 0 0 m 1 1 l B").map.entities[0].style.fill, (PlmColor{0, 1, 1, 1}));
    // Out-of-range components are clamped as PostScript does.
    EXPECT_EQ(run("2 -1 0.5 setrgbcolor 0 0 m 1 1 l B").map.entities[0].style.fill, (PlmColor{1, 0, 0.5, 1}));

    EXPECT_EQ(failure("3 setlinecap"), QStringLiteral("Extrémité PostScript invalide."));
    EXPECT_EQ(failure("1.5 j"), QStringLiteral("Jointure PostScript invalide."));
    const PlmImportResult dashed = run("[3 2] 1 setdash 2 J 1 j 0 0 m 1 1 l S");
    EXPECT_EQ(dashed.map.entities[0].style.dash, (QList<double>{3, 2}));
    EXPECT_EQ(dashed.map.entities[0].style.lineCap, 2);
    EXPECT_EQ(dashed.map.entities[0].style.lineJoin, 1);
    EXPECT_EQ(dashed.unconverted.value(QStringLiteral("phase du tireté")), 1);
    EXPECT_EQ(failure("[3 2] setdash"), incomplete("setdash"));

    const PlmEntity fill = run("0 0 m 1 0 l 1 1 l F").map.entities[0];
    EXPECT_EQ(fill.style.stroke, (PlmColor{0, 0, 0, 0}));
    EXPECT_EQ(fill.style.lineWidth, 0);
    EXPECT_FALSE(pathOf(fill).hasClose());
    EXPECT_TRUE(pathOf(run("0 0 m 1 0 l 1 1 l f").map.entities[0]).hasClose());
}

TEST(EpsImporterTest, transformsScaleGeometryAndWidths)
{
    const PlmImportResult doubled = run("2 2 scale [3 2] 0 d 0 0 m 5 5 l S");
    EXPECT_EQ(pathOf(doubled.map.entities[0]).commands[1], PlmPathCommand::line({10, 10}));
    EXPECT_EQ(doubled.map.entities[0].style.lineWidth, 2);
    EXPECT_EQ(doubled.map.entities[0].style.dash, (QList<double>{6, 4}));

    const PlmImportResult skewed = run("2 1 scale 0 0 m 1 1 l S 0 0 m 2 2 l S 0 0 m 1 1 l F");
    EXPECT_DOUBLE_EQ(skewed.map.entities[0].style.lineWidth, std::sqrt(2.0));
    EXPECT_EQ(skewed.unconverted.value(QStringLiteral("épaisseur de contour sous transformation non uniforme")), 2);

    EXPECT_EQ(failure("[1 0 0 1 0] concat"), QStringLiteral("Matrice PostScript invalide."));
    const PlmEntity moved = run("10 20 translate [2 0 0 2 0 0] concat 1 1 moveto 2 1 lineto S").map.entities[0];
    EXPECT_EQ(pathOf(moved).commands[0], PlmPathCommand::move({12, 22}));

    const PlmEntity arc = run("5 5 translate 90 rotate 0 0 10 0 90 arc S").map.entities[0];
    const PlmPathArc* rotated = pathOf(arc).commands[1].asArc();
    EXPECT_DOUBLE_EQ(rotated->start, 0);
    EXPECT_DOUBLE_EQ(rotated->sweep, std::numbers::pi / 2);
    EXPECT_EQ(rotated->center, (PlmPoint{5, 5}));
    EXPECT_NEAR(rotated->axisX.x, 0, 1e-12);
    EXPECT_NEAR(rotated->axisX.y, 10, 1e-12);

    EXPECT_EQ(failure("1e300 1e300 scale 1e300 1e300 scale 1 1 m 2 2 l S"), QStringLiteral("Valeurs PostScript non finies."));

    // A width or dash that overflows under the scale acts as none: the initial width, a solid line.
    // The scale itself is taken whole, however far past the square root of the largest double.
    const struct {
        const char* name;
        QByteArray program;
        double lineWidth;
        QList<double> dash;
    } overflowing[] = {
        {"width", "1e300 w 1e10 1e10 scale 0 0 m 1 1 l S", 1e10, {}},
        {"zero width", "0 w 1e200 1e200 scale 0 0 m 1e-200 1e-200 l S", 0, {}},
        {"dash", "[1e300 2] 0 d 1e10 1e10 scale 0 0 m 1 1 l S", 1e10, {}},
        {"scale past 1e154", "1e-154 w [1e-154 2e-154] 0 d 1e155 1e155 scale 0 0 m 1e-155 1e-155 l S", 10, {10, 20}},
        {"scale under 1e-154", "1e171 w 1e-170 1e-170 scale 0 0 m 1e170 1e170 l S", 10, {}},
    };
    for (const auto& row : overflowing) {
        const PlmStyle style = run(row.program).map.entities[0].style;
        EXPECT_EQ(style.lineWidth, row.lineWidth) << row.name;
        // Compared as plain vectors: an empty list may hold no storage at all, which Qt's own
        // comparison hands on as a null pointer.
        ASSERT_TRUE(style.dash.has_value()) << row.name;
        EXPECT_EQ(std::vector<double>(style.dash->cbegin(), style.dash->cend()),
                  std::vector<double>(row.dash.cbegin(), row.dash.cend()))
            << row.name;
    }
}

TEST(EpsImporterTest, graphicsStateClipsAndCompoundPaths)
{
    const PlmImportResult unbalanced = run("Q 0 0 m 1 1 l S");
    EXPECT_EQ(unbalanced.unconverted.value(QStringLiteral("grestore sans gsave")), 1);
    EXPECT_EQ(unbalanced.map.entities[0].style.lineWidth, 1);
    EXPECT_EQ(run("q 5 w 0.5 g Q 0 0 m 1 1 l B").map.entities[0].style.fill, (PlmColor{0, 0, 0, 1}));

    const PlmImportResult clipped = run("q 0 0 m 10 0 l 10 10 l 0 10 l h W n 1 1 m 2 1 l 2 2 l f Q 0 0 m 1 1 l S");
    ASSERT_EQ(clipped.map.entities.size(), 2);
    ASSERT_TRUE(clipped.map.entities[0].clipPaths.has_value());
    EXPECT_EQ(clipped.map.entities[0].clipPaths->first().commands.size(), 5);
    EXPECT_FALSE(clipped.map.entities[1].clipPaths.has_value());
    EXPECT_EQ(failure("0 0 m 1 0 l 1 1 l W f"), noEntity);

    const PlmImportResult compound = run("*u 0 0 m 1 0 l 1 1 l 0.5 g f 5 5 m 6 5 l 6 6 l 0.2 g f *U");
    ASSERT_EQ(compound.map.entities.size(), 1);
    EXPECT_EQ(pathOf(compound.map.entities[0]).commands.size(), 8);
    EXPECT_EQ(compound.map.entities[0].style.fill, (PlmColor{0.2, 0.2, 0.2, 1}));
    EXPECT_EQ(failure("*u *U"), noEntity);
    EXPECT_EQ(run("0 0 m 1 1 l S *u").unconverted.value(QStringLiteral("tracé composé incomplet")), 1);

    const PlmImportResult layered = run("(Routes) Ln 0 0 m 1 1 l S /F 10 Tf 0 0 1 0 0 5 5 Tm (Lyon) Tx TO");
    ASSERT_EQ(layered.map.entities.size(), 2);
    EXPECT_EQ(layered.map.entities[0].name, QStringLiteral("Routes"));
    EXPECT_EQ(layered.map.entities[0].attributes.value(QStringLiteral("layer")), QStringLiteral("Routes"));
    EXPECT_EQ(layered.map.entities[1].name, QStringLiteral("Lyon"));
    EXPECT_EQ(layered.map.entities[1].attributes.value(QStringLiteral("layer")), QStringLiteral("Routes"));
}

TEST(EpsImporterTest, textsAndNotes)
{
    const PlmImportResult shown = run("/Helvetica findfont 12 scalefont setfont 100 200 moveto (A) show (B) show");
    ASSERT_EQ(shown.map.entities.size(), 1);
    const PlmText* text = shown.map.entities[0].geometry.asText();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text, QStringLiteral("AB"));
    EXPECT_EQ(text->fontName, QStringLiteral("Helvetica"));
    EXPECT_EQ(text->fontSize, 12);
    EXPECT_EQ(text->transform, PlmTransform::translation(100, 200));
    EXPECT_EQ(shown.unconverted.value(QStringLiteral("tracé sans peinture")), 1);
    EXPECT_FALSE(shown.map.entities[0].style.fill == std::nullopt);

    // The result is kept: the text lives inside its map.
    const PlmImportResult tfResult = run("/_Times-Roman 10 Tf (x) show");
    const PlmText* tf = tfResult.map.entities[0].geometry.asText();
    ASSERT_NE(tf, nullptr);
    EXPECT_EQ(tf->fontName, QStringLiteral("Times-Roman"));
    EXPECT_EQ(tf->fontSize, 10);
    EXPECT_EQ(run("10 0 0 10 100 200 cm (x) show").map.entities[0].geometry.asText()->transform,
              (PlmTransform{10, 0, 0, 10, 100, 200}));

    const PlmImportResult tj = run("[(Bon) -20 (jour)] Tj");
    EXPECT_EQ(tj.map.entities[0].geometry.asText()->text, QStringLiteral("Bonjour"));
    EXPECT_EQ(tj.unconverted.value(QStringLiteral("espacement typographique personnalisé")), 1);
    // A text of no size is counted rather than making the map invalid.
    const PlmImportResult sizeless = run("0 scalefont (x) show 0 0 m 1 1 l S");
    EXPECT_EQ(sizeless.map.entities.size(), 1);
    EXPECT_EQ(sizeless.unconverted.value(QStringLiteral("texte PostScript de corps nul")), 1);

    const PlmImportResult notes = run("def def show Adobe_whatever u Xb Pc 0 0 m H <4A 12> 0 0 m 1 1 l S");
    EXPECT_EQ(notes.unconverted.value(QStringLiteral("opérateur EPS def")), 2);
    EXPECT_EQ(notes.unconverted.value(QStringLiteral("texte PostScript non littéral")), 1);
    EXPECT_EQ(notes.unconverted.value(QStringLiteral("dégradé Illustrator (aplat de remplacement)")), 1);
    EXPECT_EQ(notes.unconverted.value(QStringLiteral("motif Illustrator")), 1);
    EXPECT_EQ(notes.unconverted.value(QStringLiteral("tracé non peint")), 1);
    EXPECT_EQ(notes.unconverted.value(QStringLiteral("opérateur EPS <")), 1);
    EXPECT_EQ(notes.unconverted.value(QStringLiteral("opérateur EPS 4A")), 1);
    EXPECT_EQ(notes.unconverted.value(QStringLiteral("opérateur EPS >")), 1);
    EXPECT_EQ(notes.unconverted.size(), 8);
    EXPECT_EQ(failure("%%Comment\nshowpage u U Adobe_x"), noEntity);
}

TEST(EpsImporterTest, fillRulesAndTextBlocks)
{
    const PlmImportResult rules = run("0 0 m 1 0 l 1 1 l eofill 0 0 m 1 0 l 1 1 l f 1 XR 0 0 m 1 1 l f "
                                      "0 XR q 0 0 m 5 0 l 5 5 l eoclip n 0 0 m 1 0 l 1 1 l f Q 0 0 m 1 1 l f");
    ASSERT_EQ(rules.map.entities.size(), 5);
    EXPECT_TRUE(pathOf(rules.map.entities[0]).evenOdd);
    EXPECT_FALSE(pathOf(rules.map.entities[1]).evenOdd);
    EXPECT_TRUE(pathOf(rules.map.entities[2]).evenOdd);
    EXPECT_TRUE(pathOf(rules.map.entities[3]).evenOdd);
    EXPECT_TRUE(rules.map.entities[3].clipPaths->first().evenOdd);
    EXPECT_FALSE(pathOf(rules.map.entities[4]).evenOdd);
    EXPECT_FALSE(rules.map.entities[4].clipPaths.has_value());

    // Inside a text block a move does not end the text and a shown string keeps the matrix.
    const PlmImportResult block = run("1 0 0 1 50 60 0 Tp (Au) Tx 7 7 m (to) Tx TO 0 0 m 1 1 l S");
    ASSERT_EQ(block.map.entities.size(), 2);
    const PlmText* text = block.map.entities[0].geometry.asText();
    EXPECT_EQ(text->text, QStringLiteral("Auto"));
    EXPECT_EQ(text->transform, PlmTransform::translation(50, 60));
    // Outside a block each move ends the pending text, and Td moves the text matrix.
    const PlmImportResult loose = run("1 1 m (a) show 2 2 m (b) show 2 0 0 2 10 20 0 Tp 3 4 Td (c) Tx");
    ASSERT_EQ(loose.map.entities.size(), 3);
    EXPECT_EQ(loose.map.entities[1].geometry.asText()->transform, PlmTransform::translation(2, 2));
    EXPECT_EQ(loose.map.entities[2].geometry.asText()->transform, (PlmTransform{2, 0, 0, 2, 16, 28}));
    EXPECT_EQ(failure("1 2 3 4 5 6 Tp"), incomplete("Tp"));
}

TEST(EpsImporterTest, importerRoutesPostScriptFiles)
{
    const PlmImportResult result = PlmVectorImporter::importData("%!PS-Adobe-3.0 EPSF-3.0\n0 0 m 1 1 l S def",
                                                                 QStringLiteral("/tmp/plan.eps"));
    EXPECT_EQ(result.map.name, QStringLiteral("plan"));
    EXPECT_EQ(result.map.metadata.value(QStringLiteral("import.unconverted")), QStringLiteral("opérateur EPS def: 1"));
    ASSERT_TRUE(result.map.sources.has_value());
    EXPECT_EQ(result.map.sources->size(), 1);
}

// How long these take is timed by the import benchmark (BM_EPSHostileProgram).
TEST(EpsImporterTest, hostileProgramsAreRefusedAtTheirLimits)
{
    // Procedures are never run, so loops and recursion cost one token each.
    const PlmImportResult loop = run("{ } loop /recurse { recurse } def recurse 0 0 m 1 1 l S");
    EXPECT_EQ(loop.unconverted.value(QStringLiteral("opérateur EPS loop")), 1);
    EXPECT_EQ(loop.unconverted.value(QStringLiteral("opérateur EPS recurse")), 1);

    QByteArray gsaves;
    for (int i = 0; i <= EPSImporter::maximumSavedStates; ++i)
        gsaves += "q ";
    EXPECT_EQ(failure(gsaves), QStringLiteral("Sauvegardes PostScript trop imbriquées."));

    QByteArray clips = "0 0 m 1 1 l ";
    for (int i = 0; i <= EPSImporter::maximumClips; ++i)
        clips += "0 0 m 1 1 l W n ";
    EXPECT_EQ(failure(clips), QStringLiteral("Découpes PostScript trop nombreuses."));

    QByteArray longPath = "0 0 m ";
    longPath.reserve(EPSImporter::maximumPathCommands * 2 + 16);
    for (qsizetype i = 0; i < EPSImporter::maximumPathCommands; ++i)
        longPath += "h ";
    EXPECT_EQ(failure(longPath), QStringLiteral("Tracé PostScript trop long."));

    EXPECT_EQ(failure("(" + QByteArray(PSScanner::maximumStringBytes + 8, 'z')), QStringLiteral("Chaîne PostScript trop longue."));
    EXPECT_EQ(failure(QByteArray(100, '{')), QStringLiteral("Imbrication PostScript excessive."));
}

TEST(EpsImporterTest, mutatedProgramsFailCleanlyOrGiveValidMaps)
{
    const QByteArray sample =
        "%!PS-Adobe-3.0 EPSF-3.0\n%%Title: Essai\n%%Creator: Adobe Illustrator\n%%EndProlog\n"
        "q 1 0 0 1 10 10 cm 0.5 g 0 0 m 10 0 l 10 10 l h f [2 1] 0 d 2 w 1 J 0 0 1 0 90 arc S Q\n"
        "*u 0 0 m 5 5 L 5 0 l W n 1 1 m 2 2 3 3 v 4 4 5 5 y 1 2 3 4 5 6 c b *U\n"
        "(Calque 1) Ln /_Helvetica 9 Tf 1 0 0 1 3 4 Tm (Texte \\(x\\)) Tx TO [1 0 0 1 0 0] concat 45 rotate\n"
        "1 0 0 0 k 0 1 0 0 K 1 0 0 Xa 0 0 1 XA 1 XR 0 0 m 3 0 rlineto 0 3 rmoveto 2 2 lineto eofill\n";
    const QList<QByteArray> insertions = {"(", ")", "[", "]", "{", "}", "<", ">", "\\", "-1", "1e999", "0x", "/", "%",
                                          "q", "Q", "*u", "*U", "W", "n", "h", "m", "arc", "Tx", "-5 setlinecap", "\x00"};
    EXPECT_NO_THROW(PlmVectorImporter::importData(sample, QStringLiteral("essai.eps")));
    std::mt19937 random(1234);
    int maps = 0;
    for (int round = 0; round < 1500; ++round) {
        QByteArray mutated = sample;
        const int edits = 1 + int(random() % 4);
        for (int e = 0; e < edits; ++e) {
            const qsizetype at = qsizetype(random() % quint32(mutated.size()));
            switch (random() % 3) {
            case 0:
                mutated.insert(at, insertions[int(random() % quint32(insertions.size()))] + ' ');
                break;
            case 1:
                mutated.remove(at, 1 + qsizetype(random() % 8));
                break;
            default:
                mutated[at] = char(random() % 256);
                break;
            }
        }
        try {
            const PlmImportResult result = PlmVectorImporter::importData(mutated, QStringLiteral("essai.eps"));
            PlmMapCodec::validate(result.map);
            ++maps;
        } catch (const PlmImportError& error) {
            EXPECT_FALSE(error.message().isEmpty());
        } catch (const PlmMapError& error) {
            ADD_FAILURE() << "invalid map: " << error.what();
        }
    }
    EXPECT_GT(maps, 100);
}
