#include "import/VectorImportUI.h"
#include "platform/DialogHooks.h"
#include "platform/Document.h"
#include "platform/DocumentController.h"
#include "platform/DocumentType.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A base-map document that keeps its bytes.
class BytesDocument : public Document {
public:
    QByteArray bytes;
    QByteArray dataOfType(const QString&) const override { return bytes; }
    void readFromData(const QByteArray& data, const QString&) override
    {
        if (!data.startsWith('{'))
            throw std::runtime_error("Ce fichier n’est pas un fond .plmmap.");
        bytes = data;
    }
};

class VectorImportUITest : public ::testing::Test {
protected:
    VectorImportUITest()
    {
        DocumentTypes::registerType({type, QStringLiteral("Fond"), {QStringLiteral("plmmap")},
                                     [] { return new BytesDocument; }});
        DialogHooks::Hooks h;
        h.alert = [this](const DialogHooks::Alert& a) {
            alerts << a.message + QStringLiteral(" / ") + a.informativeText;
            return 0;
        };
        h.presentError = [this](const QString& m, QWidget*) { errors << m; };
        h.openPanel = [this](const DialogHooks::OpenPanelRequest& r) {
            panels << r;
            return chosen;
        };
        hooks = std::make_unique<DialogHooks::ScopedHooks>(h);
    }
    ~VectorImportUITest() override { DocumentTypes::unregisterType(type); }

    QString write(const QString& name, const QByteArray& bytes)
    {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return f.fileName();
    }

    const QString type = QStringLiteral("ondrel.pelmorastudio.plmmap");
    QTemporaryDir dir;
    QStringList alerts, errors;
    QList<DialogHooks::OpenPanelRequest> panels;
    std::optional<QStringList> chosen;
    std::unique_ptr<DialogHooks::ScopedHooks> hooks;
    DocumentController documents;
};

} // namespace

TEST_F(VectorImportUITest, openPanelTakesAnyFileButNoFolder)
{
    DialogHooks::OpenPanelRequest panel;
    panel.extensions = {QStringLiteral("svg")};
    panel.canChooseDirectories = true;
    VectorImportUI::configureOpenPanel(panel);
    EXPECT_EQ(panel.title, QStringLiteral("Importer un fond"));
    EXPECT_EQ(panel.message, QStringLiteral("Pelmora historique, .plmmap, EPS/PostScript, GeoJSON, Shapefile ou SVG. "
                                            "Les originaux restent intacts."));
    EXPECT_TRUE(panel.extensions.isEmpty());
    EXPECT_FALSE(panel.canChooseDirectories);
    EXPECT_TRUE(panel.canChooseFiles);
}

TEST_F(VectorImportUITest, baseMapDocumentsOpenThroughTheDocumentController)
{
    const QString map = write(QStringLiteral("Europe.PlmMap"), "{}");
    VectorImportUI::importFile(map, &documents);
    ASSERT_EQ(documents.documents().size(), 1);
    EXPECT_EQ(documents.documents().first()->fileType(), type);

    VectorImportUI::importFile(write(QStringLiteral("abîmé.plmmap"), "rien"), &documents);
    EXPECT_EQ(errors, QStringList{QStringLiteral("Ce fichier n’est pas un fond .plmmap.")});
    EXPECT_EQ(documents.documents().size(), 1);
}

TEST_F(VectorImportUITest, otherFormatsAreRefusedByName)
{
    const QString shapefile = write(QStringLiteral("communes.shp"), "\x00\x00\x27\x0a");
    VectorImportUI::importFile(shapefile, &documents);
    EXPECT_EQ(alerts, QStringList{QStringLiteral("Import impossible / Le fichier « communes.shp » ne peut pas encore être "
                                                 "importé : cette version ouvre les fonds .plmmap et les documents .plm.")});
    EXPECT_TRUE(documents.documents().isEmpty());

    alerts.clear();
    VectorImportUI::importFile(dir.filePath(QStringLiteral("absent.geojson")), &documents);
    EXPECT_EQ(alerts, QStringList{QStringLiteral("Import impossible / Le fichier « absent.geojson » est introuvable.")});
}

TEST_F(VectorImportUITest, menuImportRunsThePanelThenImportsLater)
{
    VectorImportUI::importBaseMap(&documents); // cancelled
    EXPECT_EQ(panels.size(), 1);
    EXPECT_EQ(panels.first().title, QStringLiteral("Importer un fond"));

    chosen = QStringList{write(QStringLiteral("fond.plmmap"), "{}")};
    VectorImportUI::importBaseMap(&documents);
    EXPECT_TRUE(documents.documents().isEmpty());
    QCoreApplication::processEvents();
    EXPECT_EQ(documents.documents().size(), 1);
}
